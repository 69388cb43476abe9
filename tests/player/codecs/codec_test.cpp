// The codec instance: preparing a stream (ID3v2, Xing/Info and VBRI headers),
// position mapping, channel routing, downsampling, the equaliser, and what
// it reports about the stream.
#include "layer3_builder.h"
#include "mpeg_codec.h"
#include "mpeg_errors.h"
#include "mpeg_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <random>
#include <string>

using namespace melvox::mpeg;
using namespace mpeg_test;

namespace {

// MPEG-1 Layer I, 384 kbit/s, 44.1 kHz, stereo: 416 bytes; a zero body is silence.
std::vector<uint8_t> layer1_frames(int count)
{
    std::vector<uint8_t> stream;
    for (int n = 0; n < count; ++n) {
        std::vector<uint8_t> frame(416, 0);
        frame[0] = 0xFF, frame[1] = 0xFF, frame[2] = 0xC0, frame[3] = 0x00;
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

std::vector<uint8_t> id3v2_tag(uint32_t body, bool footer = false)
{
    std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, static_cast<uint8_t>(footer ? 0x10 : 0)};
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(static_cast<uint8_t>(body >> shift & 0x7F));
    tag.resize(10 + body + (footer ? 10 : 0), 0);
    return tag;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class recorded_properties : public property_writer {
public:
    void set_integer(const char* name, int value) override { values[name] = value; }
    std::map<std::string, int> values;
};

// A stream in memory that may keep its size to itself (it still seeks): no
// frame index is read then.
class test_input : public memory_input {
public:
    test_input(const std::vector<uint8_t>& stream, bool sized)
        : memory_input(stream.data(), stream.size()), sized_(sized)
    {
    }
    uint64_t size() override { return sized_ ? memory_input::size() : 0; }

private:
    bool sized_;
};

struct prepared {
    test_input input;
    std::unique_ptr<mpeg_codec_instance> codec;
    stream_info info;
    recorded_properties properties;
    int result = 0;

    explicit prepared(const std::vector<uint8_t>& stream, bool sized = true)
        : input(stream, sized), codec(mpeg_codec_instance::create(input))
    {
        info.properties = &properties;
        result = codec->prepare(info);
    }
};

TEST(CodecPrepare, SkipsAnId3v2TagAndReportsTheFirstHeader)
{
    for (bool footer : {false, true}) {
        prepared p(id3v2_tag(1000, footer) + layer1_frames(10));
        uint64_t tag = footer ? 1020 : 1010;
        ASSERT_EQ(p.result, 0);
        EXPECT_EQ(p.codec->audio_start(), tag);
        EXPECT_EQ(p.codec->stream_size(), 4160u);
        EXPECT_EQ(p.input.position(), tag) << "left at the first frame";
        EXPECT_EQ(p.info.sample_rate, 44100);
        EXPECT_EQ(p.info.bitrate, 384);
        EXPECT_EQ(p.info.channels, 2);
        EXPECT_EQ(p.info.duration_ms, 10u * 384 * 1000 / 44100) << "ten frames";
        EXPECT_STREQ(p.info.mime_type, "audio/mpeg");
        EXPECT_EQ(p.info.flags, 7u);
        EXPECT_EQ(p.properties.values,
                  (std::map<std::string, int>{
                      {"mpeg/layer", 1}, {"mpeg/level", 1}, {"mpeg/mode", 0}, {"mpeg/duration-ms", 87}}));
        EXPECT_FALSE(p.codec->vbr_header_found());

        int16_t buffer[max_frame_bytes / 2];
        pcm_frame pcm{buffer};
        int frames = 0;
        while (p.codec->decode(pcm, p.info) == 0)
            ++frames;
        EXPECT_EQ(frames, 10);
        EXPECT_EQ(pcm.samples, 384);
    }
}

// The audio ends with its last frame: an ID3v1 tag (or any bytes) after it
// is neither in the stream's size nor in its positions.
TEST(CodecPrepare, BytesAfterTheLastFrameAreNoAudio)
{
    std::vector<uint8_t> id3v1(128, ' ');
    std::copy_n("TAG", 3, id3v1.begin());
    for (const auto& tail : {std::vector<uint8_t>{}, id3v1, std::vector<uint8_t>(300, 0)}) {
        std::vector<uint8_t> stream = id3v2_tag(100) + layer1_frames(10) + tail;
        prepared p(stream);
        ASSERT_EQ(p.result, 0);
        EXPECT_EQ(p.codec->stream_size(), 4160u) << tail.size();
        EXPECT_EQ(p.info.duration_ms, 87u) << tail.size();
        EXPECT_DOUBLE_EQ(p.codec->offset_to_ratio(110 + 9 * 416), 0.9) << "the last frame starts";
        EXPECT_DOUBLE_EQ(p.codec->offset_to_ratio(110 + 10 * 416), 1.0) << "and ends";
        EXPECT_DOUBLE_EQ(p.codec->offset_to_ratio(stream.size()), 1.0);
    }
}

TEST(CodecPrepare, TagLargerThanTheStreamLeavesNothingToPlay)
{
    std::vector<uint8_t> tag = id3v2_tag(100000);
    tag.resize(10);
    prepared p(tag + layer1_frames(2));
    EXPECT_EQ(p.result, error_invalid_frame);
    EXPECT_EQ(p.codec->audio_start(), 10u + 832u);
    EXPECT_EQ(p.codec->stream_size(), 0u);
    EXPECT_EQ(p.info.duration_ms, 0u);
}

TEST(CodecPrepare, RefusesAStreamThatDoesNotStartWithAFrameButDecodingFindsThem)
{
    std::vector<uint8_t> junk(300, 0x11);
    prepared p(junk + layer1_frames(4));
    EXPECT_EQ(p.result, error_invalid_frame);
    decoding d = decode(junk + layer1_frames(4), {}, false);
    EXPECT_EQ(d.frames, 4);

    prepared tiny(std::vector<uint8_t>{0xFF, 0xFB});
    EXPECT_EQ(tiny.result, error_invalid_frame) << "a stream shorter than a header";
}

// An MPEG-1 Layer III frame (128 kbit/s, 44.1 kHz, stereo) whose body holds a
// VBR header at byte 36, followed by audio frames.
std::vector<uint8_t> vbr_stream(const char* tag, uint32_t frames)
{
    std::vector<uint8_t> first(417, 0);
    first[0] = 0xFF, first[1] = 0xFB, first[2] = 0x90, first[3] = 0x00;
    std::copy(tag, tag + 4, first.begin() + 36);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            first[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    };
    if (std::string(tag) == "VBRI") {
        put32(36 + 14, frames);
    } else {
        put32(40, 7); // frames, bytes, table of contents
        put32(44, frames);
        put32(48, 123456);
        for (int i = 0; i < 100; ++i)
            first[52 + static_cast<size_t>(i)] = static_cast<uint8_t>(i * 2);
    }
    std::vector<uint8_t> stream = first;
    std::mt19937 random(3);
    for (int n = 0; n < 12; ++n) {
        crafted_frame f;
        f.sampling_frequency = 0;
        f.bitrate_index = n % 2 ? 14 : 11; // alternating 320 and 192 kbit/s
        for (auto& granule : f.channels)
            for (auto& c : granule)
                for (int i = 0; i < 200; ++i)
                    c.values[i] = static_cast<int>(random() % 3) - 1;
        stream = stream + build_layer3_frame(f);
    }
    return stream;
}

TEST(CodecPrepare, XingHeaderGivesExactDurationSeekTableAndNoBitrateUpdates)
{
    for (const char* tag : {"Xing", "Info"}) {
        std::vector<uint8_t> stream = vbr_stream(tag, 100);
        prepared p(stream);
        ASSERT_EQ(p.result, 0);
        EXPECT_TRUE(p.codec->vbr_header_found());
        EXPECT_EQ(p.info.duration_ms, 2612u); // 100 x 1152 x 1000 / 44100
        EXPECT_EQ(p.info.bitrate, static_cast<int>(stream.size() * 8 / 2612));

        // Without a frame index, the table maps positions. Entries 2i:
        // between 50 and 51 at ratio 0.505; past the last one towards 256.
        prepared unsized(stream, false);
        EXPECT_NEAR(unsized.codec->ratio_to_offset(0.5), 100.0 / 256, 1e-9);
        EXPECT_NEAR(unsized.codec->ratio_to_offset(0.505), 101.0 / 256, 1e-9);
        EXPECT_NEAR(unsized.codec->ratio_to_offset(0.995), (198.0 + 0.5 * 58.0) / 256, 1e-9);
        EXPECT_NEAR(unsized.codec->ratio_to_offset(1.0), 1.0, 1e-9);
        EXPECT_NEAR(unsized.codec->ratio_to_offset(-3.0), 0.0, 1e-9);

        int16_t buffer[max_frame_bytes / 2];
        pcm_frame pcm{buffer};
        int bitrate = p.info.bitrate;
        for (int n = 0; n < 13; ++n) {
            p.info.flags = 0;
            ASSERT_EQ(p.codec->decode(pcm, p.info), 0);
            EXPECT_EQ(p.info.flags & stream_info::format_changed, 0u) << "frame " << n;
            EXPECT_EQ(p.info.bitrate, bitrate);
        }
    }
}

TEST(CodecPrepare, VbriHeaderGivesTheFrameCount)
{
    prepared p(vbr_stream("VBRI", 500));
    ASSERT_EQ(p.result, 0);
    EXPECT_TRUE(p.codec->vbr_header_found());
    EXPECT_EQ(p.info.duration_ms, 13061u); // 500 x 1152 x 1000 / 44100
    prepared unsized(vbr_stream("VBRI", 500), false);
    EXPECT_NEAR(unsized.codec->ratio_to_offset(0.3), 0.3, 1e-9) << "no table and no index: the ratio itself";
}

TEST(CodecPrepare, ZeroFrameCountLeavesTheDurationToTheFrames)
{
    std::vector<uint8_t> stream = vbr_stream("Xing", 0);
    prepared p(stream);
    ASSERT_EQ(p.result, 0);
    EXPECT_FALSE(p.codec->vbr_header_found());
    EXPECT_EQ(p.info.bitrate, 128);
    EXPECT_EQ(p.info.duration_ms, 13u * 1152 * 1000 / 44100) << "13 frames";
    prepared unsized(stream, false);
    EXPECT_EQ(unsized.info.duration_ms, 0u) << "no size, no estimate";
}

TEST(CodecPositions, RatiosArePlayingTimeFrameByFrame)
{
    prepared p(id3v2_tag(990) + layer1_frames(10)); // audio start 1000, ten frames of 416 bytes
    ASSERT_EQ(p.result, 0);
    EXPECT_EQ(p.codec->offset_to_ratio(500), 0.0);
    EXPECT_DOUBLE_EQ(p.codec->offset_to_ratio(1000 + 5 * 416), 0.5);
    EXPECT_DOUBLE_EQ(p.codec->offset_to_ratio(1000 + 5 * 416 + 415), 0.5) << "within the frame";
    // The frame at 0.55 is frame 5; decoding starts two frames earlier (the
    // synthesis memory), at an offset a little before that frame.
    double ratio = p.codec->ratio_to_offset(0.55);
    uint64_t landing = static_cast<uint64_t>(5160 * ratio);
    EXPECT_LE(landing, 1000u + 3 * 416);
    EXPECT_GE(landing, 1000u + 3 * 416 - 8);
    EXPECT_DOUBLE_EQ(p.codec->offset_to_ratio(landing), 0.5) << "the time of the frame asked for";
    EXPECT_DOUBLE_EQ(p.codec->ratio_to_offset(0.0), (1000.0 - 2) / 5160) << "the first frame, a little early";

    memory_input empty(nullptr, 0);
    std::unique_ptr<mpeg_codec_instance> unknown(mpeg_codec_instance::create(empty));
    EXPECT_EQ(unknown->offset_to_ratio(100), 0.0) << "size unknown";
}

TEST(CodecPositions, SeeksFrameExactlyInAVbrStreamWithoutHeader)
{
    if (!have_program("lame") || !have_program("mpg123"))
        GTEST_SKIP() << "lame or mpg123 missing";
    TempDir dir;
    // Ten seconds of VBR without an info frame (-t): only the frames tell the time.
    std::vector<uint8_t> stream = encode_lame(dir, make_signal(signal_kind::stereo, 44100, 2, 10.0), 44100, 2,
                                              "-V 2 -t");
    ASSERT_FALSE(stream.empty());
    std::string path = dir.file("vbr.mp3");
    write_bytes(path, stream);
    const double frame_ms = 1152 * 1000.0 / 44100;

    memory_input input(stream.data(), stream.size());
    std::unique_ptr<mpeg_codec_instance> codec(mpeg_codec_instance::create(input));
    stream_info info;
    ASSERT_EQ(codec->prepare(info), 0);
    EXPECT_NEAR(info.duration_ms, reference_decode(dir, stream).size() / 2 * 1000.0 / 44100, frame_ms);

    for (double seconds : {0.5, 2.5, 5.0, 8.0, 9.9}) {
        // As the player seeks: a ratio of the duration, in single precision,
        // times the input's size.
        auto ratio = static_cast<float>(codec->ratio_to_offset(seconds * 1000 / info.duration_ms));
        auto offset = static_cast<uint32_t>(static_cast<double>(stream.size()) * ratio);
        ASSERT_EQ(input.seek(offset), 0);
        codec->reposition(offset);
        double reported_ms = codec->offset_to_ratio(offset) * info.duration_ms;
        std::vector<int16_t> ours;
        int16_t buffer[max_frame_bytes / 2];
        pcm_frame pcm{buffer};
        while (codec->decode(pcm, info) == 0)
            ours.insert(ours.end(), buffer, buffer + pcm.samples * pcm.channels);

        // mpg123 -k decodes from a frame exactly as a decoding from the start.
        auto frame = static_cast<int>(seconds * 1000 / frame_ms);
        std::string out = dir.file("skipped.raw");
        ASSERT_EQ(run_command("mpg123 -q --no-gapless -k " + std::to_string(frame) + " -s " + path + " > " + out +
                              " 2> /dev/null"),
                  0);
        std::vector<int16_t> reference(read_bytes(out).size() / 2);
        std::vector<uint8_t> bytes = read_bytes(out);
        std::memcpy(reference.data(), bytes.data(), reference.size() * 2);
        comparison c = compare(ours, reference, 2);
        double landed = frame - c.offset / 1152.0;
        std::printf("seek %.1f s: frame %.0f, %.2f frames from the asked time; reported %.1f ms\n", seconds, landed,
                    landed - seconds * 1000 / frame_ms, reported_ms);
        EXPECT_EQ(c.offset, 0) << seconds << " s";
        EXPECT_EQ(ours.size(), reference.size()) << seconds << " s";
        EXPECT_LE(c.max_difference, max_difference_limit) << seconds << " s";
        EXPECT_LT(c.rms, rms_limit) << seconds << " s";
        EXPECT_NEAR(reported_ms, frame * frame_ms, 1.0) << "the time reported is the frame's";
    }
}

// A stereo Layer III stream with unrelated random content in the channels.
std::vector<uint8_t> stereo_stream(int frames, int mode = 0)
{
    std::mt19937 random(21);
    std::vector<uint8_t> stream;
    for (int n = 0; n < frames; ++n) {
        crafted_frame f;
        f.mode = mode;
        for (auto& granule : f.channels)
            for (int ch = 0; ch < 2; ++ch) {
                granule[ch].global_gain = 170; // well below full scale
                for (int i = 0; i < (ch ? 120 : 300); ++i)
                    granule[ch].values[i] = static_cast<int>(random() % 3) - 1;
            }
        stream = stream + build_layer3_frame(f);
    }
    return stream;
}

std::vector<int16_t> channel_of(const std::vector<int16_t>& interleaved, int channel)
{
    std::vector<int16_t> out;
    for (size_t i = static_cast<size_t>(channel); i < interleaved.size(); i += 2)
        out.push_back(interleaved[i]);
    return out;
}

TEST(CodecRouting, ChannelModesSelectOrMixChannels)
{
    // Layer III and Layer I streams (the Layer I one in dual-channel mode).
    std::vector<std::vector<uint8_t>> streams = {
        stereo_stream(8), read_bytes(std::string(MPEG_TEST_DATA_DIR) + "/layer1-dual-44k-320k.mp1")};
    for (auto& stream : streams) {
        decoding both = decode(stream);
        ASSERT_EQ(both.channels, 2);
        std::vector<int16_t> left = channel_of(both.samples, 0), right = channel_of(both.samples, 1);
        decoding only_left = decode(stream, {.channel_mode = 1});
        decoding only_right = decode(stream, {.channel_mode = 2});
        decoding mixed = decode(stream, {.channel_mode = 3});
        EXPECT_EQ(only_left.channels, 1);
        EXPECT_EQ(only_left.samples, left);
        EXPECT_EQ(only_right.samples, right);
        ASSERT_EQ(mixed.channels, 1);
        ASSERT_EQ(mixed.samples.size(), left.size());
        auto clipped = [](int16_t v) { return v == 32767 || v == -32768; };
        for (size_t i = 0; i < left.size(); ++i)
            if (!clipped(left[i]) && !clipped(right[i])) { // mixing comes before clipping
                ASSERT_NEAR(mixed.samples[i], (left[i] + right[i]) / 2.0, 1.0) << i;
            }
    }

    std::vector<uint8_t> mono = read_bytes(std::string(MPEG_TEST_DATA_DIR) + "/layer1-mono-32k-192k.mp1");
    decoding plain = decode(mono);
    for (int mode : {1, 2, 3}) {
        decoding d = decode(mono, {.channel_mode = mode});
        EXPECT_EQ(d.channels, 1);
        EXPECT_EQ(d.samples, plain.samples) << "a single-channel stream ignores channel mode " << mode;
    }
}

// Power of a frequency in a signal (Goertzel), per sample.
double power_at(const std::vector<int16_t>& samples, int channels, double frequency, int rate)
{
    double w = 2.0 * std::numbers::pi * frequency / rate, coefficient = 2.0 * std::cos(w);
    double s1 = 0.0, s2 = 0.0;
    size_t n = 0;
    for (size_t i = 0; i < samples.size(); i += static_cast<size_t>(channels), ++n) {
        double s0 = samples[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - coefficient * s1 * s2) / static_cast<double>(n * n);
}

TEST(CodecRouting, DownsamplingHalvesOrQuartersTheRate)
{
    if (!have_program("lame"))
        GTEST_SKIP() << "lame missing";
    TempDir dir;
    struct rate_case {
        int rate, downsampling, expected_rate;
    };
    for (rate_case c : {rate_case{44100, 1, 22050}, rate_case{44100, 2, 11025}, rate_case{22050, 1, 22050},
                        rate_case{22050, 2, 11025}, rate_case{11025, 2, 11025}}) {
        std::vector<int16_t> pcm(static_cast<size_t>(c.rate), 0); // one second of 1 kHz, mono
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * 1000.0 * i / c.rate));
        std::vector<uint8_t> stream = encode_lame(dir, pcm, c.rate, 1,
                                                  "-b 64 --resample " + std::to_string(c.rate / 1000.0));
        ASSERT_FALSE(stream.empty());
        decoding full = decode(stream);
        decoding reduced = decode(stream, {.downsampling = c.downsampling});
        EXPECT_EQ(reduced.rate, c.expected_rate) << c.rate;
        EXPECT_EQ(reduced.samples.size() * static_cast<size_t>(full.rate / c.expected_rate), full.samples.size());
        // The tone stays the strongest component, at its own frequency.
        double tone = power_at(reduced.samples, 1, 1000.0, reduced.rate);
        for (double other : {250.0, 2500.0, 4000.0})
            EXPECT_GT(tone, 100.0 * power_at(reduced.samples, 1, other, reduced.rate)) << c.rate << " " << other;
    }
}

TEST(CodecParameters, AllZeroEqualizerIsBitIdenticalToNone)
{
    std::vector<uint8_t> stream = stereo_stream(6);
    signed char zeros[64] = {};
    EXPECT_EQ(decode(stream, {.equalizer = zeros}).samples, decode(stream).samples);

    signed char boost[64];
    std::fill(std::begin(boost), std::end(boost), 32); // gain 2
    decoding plain = decode(stream, {.channel_mode = 1});
    decoding louder = decode(stream, {.channel_mode = 1, .equalizer = boost});
    for (size_t i = 0; i < plain.samples.size(); ++i)
        ASSERT_NEAR(louder.samples[i], 2 * plain.samples[i], 2);
}

TEST(CodecParameters, SetAndGet)
{
    memory_input input(nullptr, 0);
    std::unique_ptr<mpeg_codec_instance> codec(mpeg_codec_instance::create(input));
    signed char bytes[64];
    codec_parameters read{.equalizer = bytes};
    EXPECT_EQ(codec->get_parameters(read, 7), error_no_such_variable) << "no equalizer yet";
    EXPECT_TRUE(std::all_of(std::begin(bytes), std::end(bytes), [](signed char b) { return b == 0; }));

    signed char values[64];
    for (int i = 0; i < 64; ++i)
        values[i] = static_cast<signed char>(i * 4 - 128);
    codec_parameters set{.channel_mode = 3, .downsampling = 2, .equalizer = values};
    ASSERT_EQ(codec->set_parameters(set, 7), 0);
    ASSERT_EQ(codec->get_parameters(read, 7), 0);
    EXPECT_EQ(read.channel_mode, 3);
    EXPECT_EQ(read.downsampling, 2);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(bytes[i], values[i]) << i;
    for (int b = -128; b < 128; ++b) {
        std::fill(std::begin(values), std::end(values), static_cast<signed char>(b));
        codec->set_parameters(set, parameter_equalizer);
        codec->get_parameters(read, parameter_equalizer);
        ASSERT_EQ(bytes[0], b) << "round trip of " << b;
    }

    codec_parameters no_buffer;
    EXPECT_EQ(codec->get_parameters(no_buffer, parameter_equalizer), error_invalid_parameters);
    EXPECT_EQ(codec->set_parameters({.channel_mode = 4}, parameter_channel_mode), error_invalid_parameters);
    EXPECT_EQ(codec->set_parameters({.downsampling = 3}, parameter_downsampling), error_invalid_parameters);
    EXPECT_EQ(codec->set_parameters({}, parameter_equalizer), 0) << "null: equalizer off";
    EXPECT_EQ(codec->get_parameters(read, parameter_equalizer), error_no_such_variable);
}

TEST(CodecReports, FirstFramePublishesPropertiesWithoutPrepare)
{
    // MPEG 2.5 single channel: level 0 and mode 3 are reported as well.
    crafted_frame f;
    f.id = 2;
    f.sampling_frequency = 2;
    f.bitrate_index = 8; // 64 kbit/s, 8 kHz
    f.mode = 3;
    std::vector<uint8_t> stream = build_layer3_frame(f) + build_layer3_frame(f) + build_layer3_frame(f);
    memory_input input(stream.data(), stream.size());
    std::unique_ptr<mpeg_codec_instance> codec(mpeg_codec_instance::create(input));
    recorded_properties properties;
    stream_info info;
    info.properties = &properties;
    int16_t buffer[max_frame_bytes / 2];
    pcm_frame pcm{buffer};
    ASSERT_EQ(codec->decode(pcm, info), 0);
    EXPECT_EQ(properties.values, (std::map<std::string, int>{{"mpeg/layer", 3}, {"mpeg/level", 0}, {"mpeg/mode", 3}}));
    EXPECT_EQ(info.flags, 7u);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.sample_rate, 8000);
    EXPECT_EQ(info.bitrate, 64);
    EXPECT_EQ(pcm.samples, 576);
    EXPECT_EQ(pcm.rate, 8000);
    info.flags = 0;
    ASSERT_EQ(codec->decode(pcm, info), 0);
    EXPECT_EQ(info.flags, 0u) << "nothing changed";
}

TEST(CodecReports, DurationEstimateOfAStreamWithoutVbrHeader)
{
    // Alternating 192 and 320 kbit/s frames: 12 frames of 1152 samples at 44.1 kHz.
    std::vector<uint8_t> frames = vbr_stream("none", 0);
    frames.erase(frames.begin(), frames.begin() + 417);
    std::vector<uint8_t> stream;
    for (int i = 0; i < 10; ++i)
        stream = stream + frames;
    const double real_ms = 120 * 1152 * 1000.0 / 44100;

    memory_input input(stream.data(), stream.size());
    std::unique_ptr<mpeg_codec_instance> codec(mpeg_codec_instance::create(input));
    stream_info info;
    ASSERT_EQ(codec->prepare(info), 0);
    int16_t buffer[max_frame_bytes / 2];
    pcm_frame pcm{buffer};
    for (int n = 0; n < 40; ++n)
        ASSERT_EQ(codec->decode(pcm, info), 0);
    EXPECT_NEAR(info.duration_ms, real_ms, real_ms * 0.05);

    // Resume in the middle: the part before the new position is estimated too.
    uint64_t middle = stream.size() / 2;
    input.seek(middle);
    codec->reposition(middle);
    for (int n = 0; n < 30; ++n)
        ASSERT_EQ(codec->decode(pcm, info), 0);
    EXPECT_NEAR(info.duration_ms, real_ms, real_ms * 0.05);
}

} // namespace
