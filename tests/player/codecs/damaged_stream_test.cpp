// Damaged input never crashes the decoder or makes it read outside its
// buffers (run these under AddressSanitizer too), and decoding resumes with
// the next good frame.
#include "layer3_builder.h"
#include "mpeg_errors.h"
#include "mpeg_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace melvox::mpeg;
using namespace mpeg_test;

namespace {

// Streams of each layer, made once.
const std::vector<std::vector<uint8_t>>& streams()
{
    static const std::vector<std::vector<uint8_t>> all = [] {
        std::vector<std::vector<uint8_t>> s;
        TempDir dir;
        if (have_program("lame")) {
            auto stereo = make_signal(signal_kind::transients, 44100, 2, 1.0);
            s.push_back(encode_lame(dir, stereo, 44100, 2, "-b 128 -m j"));
            auto low = make_signal(signal_kind::stereo, 22050, 2, 1.0);
            s.push_back(encode_lame(dir, low, 22050, 2, "-V 5"));
        }
        if (have_program("twolame")) {
            auto pcm = make_signal(signal_kind::noise, 48000, 2, 1.0);
            s.push_back(encode_twolame(dir, pcm, 48000, 2, "-b 192 -m j"));
        }
        std::vector<uint8_t> layer1 = read_bytes(std::string(MPEG_TEST_DATA_DIR) + "/layer1-joint-48k-256k-crc.mp1");
        layer1.resize(40000);
        s.push_back(layer1);
        return s;
    }();
    return all;
}

// Decodes to the end; the call limit catches a decoder that never ends. A
// stream in which no frame was found ends refused.
decoding decode_damaged(const std::vector<uint8_t>& stream)
{
    decoding d = decode(stream, {}, true, 20000);
    if (d.frames + d.invalid_frames == 0)
        EXPECT_EQ(d.end_result, error_no_audio_found) << "a stream without a frame is refused";
    else
        EXPECT_EQ(d.end_result, error_end_of_input) << "decoding must end with the stream";
    return d;
}

TEST(DamagedStreams, RandomByteErrorsAreSurvivedAndKeepTheStreamsTime)
{
    std::mt19937 random(99);
    for (const auto& clean : streams()) {
        decoding whole = decode_damaged(clean);
        for (int trial = 0; trial < 8; ++trial) {
            std::vector<uint8_t> stream = clean;
            size_t errors = stream.size() / (trial < 4 ? 1000 : 50);
            for (size_t e = 0; e < errors; ++e)
                stream[random() % stream.size()] ^= static_cast<uint8_t>(1 + random() % 255);
            decoding d = decode_damaged(stream);
            if (trial < 4) {
                // Damaged and lost frames play as silence of their length.
                double frames = double(d.samples.size()) / double(whole.last_frame_size);
                std::printf("damaged: %zu of %zu samples (%+.1f frames)\n", d.samples.size(), whole.samples.size(),
                            frames - double(whole.samples.size()) / double(whole.last_frame_size));
                EXPECT_NEAR(d.samples.size(), whole.samples.size(), 2.0 * whole.last_frame_size);
            }
        }
    }
}

TEST(DamagedStreams, SkippedBytesCountAsLostFramesUnlessTheyAreATag)
{
    // Layer I frames of 416 bytes (384 samples) with 416 bytes between frames
    // 3 and 4: one frame's worth of time when they are garbage, none when
    // they are a tag.
    std::vector<uint8_t> frame(416, 0);
    frame[0] = 0xFF, frame[1] = 0xFF, frame[2] = 0xC0;
    struct gap_case {
        const char* start;
        int frames_of_silence;
    };
    for (const gap_case& c : {gap_case{"\x12\x34\x56", 1}, gap_case{"TAG", 0}, gap_case{"ID3", 0},
                              gap_case{"APETAGEX", 0}, gap_case{"LYRICSBEGIN", 0}}) {
        std::vector<uint8_t> stream;
        for (int n = 0; n < 6; ++n) {
            if (n == 3) {
                std::vector<uint8_t> gap(416, 0x20);
                std::copy(c.start, c.start + std::strlen(c.start), gap.begin());
                stream.insert(stream.end(), gap.begin(), gap.end());
            }
            stream.insert(stream.end(), frame.begin(), frame.end());
        }
        decoding d = decode(stream, {}, false);
        EXPECT_EQ(d.frames, 6 + c.frames_of_silence) << c.start;
    }
}

TEST(DamagedStreams, CutAnywhere)
{
    std::mt19937 random(5);
    for (const auto& clean : streams()) {
        for (int trial = 0; trial < 10; ++trial) {
            size_t begin = random() % (clean.size() / 2);
            size_t end = begin + random() % (clean.size() - begin);
            decode_damaged({clean.begin() + static_cast<long>(begin), clean.begin() + static_cast<long>(end)});
        }
        for (size_t size : {size_t{0}, size_t{1}, size_t{3}, size_t{4}, size_t{40}, size_t{152}, size_t{600}})
            decode_damaged({clean.begin(), clean.begin() + static_cast<long>(std::min(size, clean.size()))});
    }
}

TEST(DamagedStreams, RandomBytesAndSyncHeavyNoise)
{
    std::mt19937 random(11);
    for (int trial = 0; trial < 9; ++trial) {
        std::vector<uint8_t> noise(50000);
        for (auto& b : noise)
            b = static_cast<uint8_t>(random());
        if (trial % 3 == 1) // many sync patterns: every few bytes 0xFF followed by a plausible byte
            for (size_t i = 0; i + 1 < noise.size(); i += 7) {
                noise[i] = 0xFF;
                noise[i + 1] |= 0xE0;
            }
        if (trial % 3 == 2) // free-format headers everywhere, each asking for its length to be measured
            for (size_t i = 0; i + 3 < noise.size(); i += 5 + random() % 9) {
                noise[i] = 0xFF;
                noise[i + 1] = 0xFB;
                noise[i + 2] &= 0x0F;
            }
        decode_damaged(noise);
    }
}

std::vector<uint8_t> id3v2_tag(uint32_t body)
{
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(static_cast<uint8_t>(body >> shift & 0x7F));
    tag.resize(10 + body, 0xFF); // sync patterns all through it
    return tag;
}

TEST(DamagedStreams, AStreamWithoutAudioNearItsStartIsRefused)
{
    ASSERT_FALSE(streams().empty());
    const std::vector<uint8_t>& audio = streams().front();
    std::mt19937 random(23);
    std::vector<uint8_t> noise(300000);
    for (auto& b : noise)
        b = static_cast<uint8_t>(random());
    std::string page = "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>\n";
    auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    struct stream_case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool plays;
    } cases[] = {
        {"empty", {}, false},
        {"a web page", {page.begin(), page.end()}, false},
        {"zeros", std::vector<uint8_t>(200000, 0), false},
        {"random bytes", noise, false},
        {"a tag and then text", join({id3v2_tag(1000), {page.begin(), page.end()}}), false},
        {"audio behind 60000 bytes of zeros", join({std::vector<uint8_t>(60000, 0), audio}), true},
        {"audio behind 70000 bytes of zeros", join({std::vector<uint8_t>(70000, 0), audio}), false},
        // A tag does not count against the bound, even where it is not skipped.
        {"audio behind a tag of 200000 bytes", join({id3v2_tag(200000), std::vector<uint8_t>(30000, 0), audio}), true},
        // A stream that has played resyncs whatever follows.
        {"audio, zeros, audio", join({audio, std::vector<uint8_t>(200000, 0), audio}), true},
    };
    size_t whole = decode(audio).samples.size();
    for (const stream_case& c : cases)
        for (bool prepared : {true, false}) { // a file, and a stream that cannot seek
            decoding d = decode(c.bytes, {}, prepared);
            EXPECT_EQ(d.end_result, c.plays ? error_end_of_input : error_no_audio_found) << c.what;
            if (c.plays)
                EXPECT_GE(d.samples.size(), whole) << c.what;
            else
                EXPECT_EQ(d.frames + d.invalid_frames, 0) << c.what;
        }
}

TEST(DamagedStreams, HeadersThatLieAboutTheirLength)
{
    // Rewrite the bitrate of some headers: each then claims another length.
    std::mt19937 random(13);
    for (const auto& clean : streams()) {
        std::vector<uint8_t> stream = clean;
        int rewritten = 0;
        for (size_t i = 0; i + 4 < stream.size(); ++i)
            if (stream[i] == 0xFF && (stream[i + 1] & 0xE0) == 0xE0 && random() % 4 == 0) {
                stream[i + 2] = static_cast<uint8_t>((stream[i + 2] & 0x0F) | (1 + random() % 14) << 4);
                ++rewritten;
            }
        EXPECT_GT(rewritten, 5);
        decode_damaged(stream);
    }
}

TEST(DamagedStreams, SideInformationBeyondTheData)
{
    // part2_3_length of 4095 bits and big_values 288 in every granule: the
    // reads run far past the main data and must stay in the buffers.
    std::mt19937 random(17);
    std::vector<uint8_t> stream;
    for (int n = 0; n < 20; ++n) {
        crafted_frame f;
        f.bitrate_index = 9 + n % 6;
        f.id = n % 3 == 2 ? 0 : 1;
        f.mode = n % 4;
        f.mode_extension = n % 4;
        f.main_data_begin = n % 5 == 0 ? 0 : static_cast<int>(random() % 256);
        for (auto& granule : f.channels)
            for (auto& c : granule) {
                c.part2_3_length = 4095;
                c.big_values = 288;
                c.global_gain = 255;
                c.scalefac_compress = f.id == 1 ? 15 : 511;
                c.short_blocks = n % 2 == 1;
                c.mixed = n % 3 == 1;
            }
        std::vector<uint8_t> frame = build_layer3_frame(f);
        // Random main data: arbitrary Huffman codes and linbits.
        for (size_t i = 40; i < frame.size(); ++i)
            frame[i] = static_cast<uint8_t>(random());
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    decoding d = decode_damaged(stream);
    EXPECT_GT(d.frames, 10);
}

} // namespace
