// The WAVE codec reading files through the file input of a decoder in the
// test's own process.
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "codecs/codec_modules.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"
#include "recording_channel.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace melvox;

namespace {

TEST(WaveCodecProbe, TakesWaveTypesAndUnknownStreamsNamedWav)
{
    codec_module t{};
    ASSERT_EQ(wave_codec_module_register(&t), 0);
    for (const char* mime : {"audio/wave", "audio/x-wav", "audio/x-wave"})
        EXPECT_EQ(t.probe(mime, "no-extension"), 0) << mime;
    for (const char* mime : {"audio/unknown", "audio", "unknown"}) {
        EXPECT_EQ(t.probe(mime, "song.wav"), 0) << mime;
        EXPECT_EQ(t.probe(mime, "dir.v1/song.wav"), 0) << mime;
        EXPECT_EQ(t.probe(mime, "song.WAV"), error_no_codec_found) << mime;
        EXPECT_EQ(t.probe(mime, "song"), error_no_codec_found) << mime;
        EXPECT_EQ(t.probe(mime, "song.wav.mp3"), error_no_codec_found) << mime;
    }
    EXPECT_EQ(t.probe("audio/mpeg", "song.wav"), error_no_codec_found);
    EXPECT_EQ(t.offset_to_ratio, nullptr);
    EXPECT_EQ(t.ratio_to_offset, nullptr);
    EXPECT_EQ(t.reposition, nullptr);
    codec_module_info info{};
    ASSERT_EQ(t.query(&info, query_largest_frame | query_capabilities), 0);
    EXPECT_EQ(info.largest_frame_bytes, 4096u);
    EXPECT_EQ(info.info.flags, 0u);
}

class WaveCodec : public ::testing::Test {
protected:
    void SetUp() override
    {
        register_input_module(d, file_input_module_register);
        register_codec_module(d, wave_codec_module_register);
    }

    // Opens the bytes as a .wav file: 0 or the open's error.
    int open(const std::vector<uint8_t>& bytes, const char* name = "t.wav")
    {
        writeBytes(dir.file(name), bytes);
        if (int r = input_new(d, dir.file(name).c_str(), -1); r < 0)
            return r;
        return input_open(d);
    }

    // One decode call: 0 with the samples in pcm, or the error.
    int decode(std::vector<int16_t>& pcm)
    {
        buffer.assign(2048, 0);
        frame = pcm_frame{};
        frame.buffer = buffer.data();
        int r = d.codec.entry->table.codec.decode(d.codec.instance, &frame, &d.stream.info);
        if (r == 0)
            pcm.assign(buffer.begin(), buffer.begin() + frame.samples_per_channel * frame.channels);
        return r;
    }

    // Everything that decoding delivers until the end.
    std::vector<uint8_t> decodeAll(std::vector<uint32_t>* blockSamples = nullptr)
    {
        std::vector<uint8_t> out;
        std::vector<int16_t> pcm;
        int r;
        while ((r = decode(pcm)) == 0) {
            auto bytes = reinterpret_cast<const uint8_t*>(pcm.data());
            out.insert(out.end(), bytes, bytes + pcm.size() * 2);
            if (blockSamples != nullptr)
                blockSamples->push_back(frame.samples_per_channel);
        }
        EXPECT_EQ(r, error_end_of_input_stream);
        return out;
    }

    TempDir dir;
    RecordingChannel channel;
    player_decoder d{channel};
    std::vector<int16_t> buffer;
    pcm_frame frame{};
};

TEST_F(WaveCodec, SixteenBitStereoPassesUnchangedInBlocksOf4096Bytes)
{
    WaveLayout wave;
    wave.data = noise16(2 * 3000);
    ASSERT_EQ(open(waveBytes(wave)), 0);
    EXPECT_EQ(std::string(d.stream.info.mime_type), "audio/pcm");
    EXPECT_EQ(d.stream.info.sample_rate, 44100u);
    EXPECT_EQ(d.stream.info.channels, 2u);
    EXPECT_EQ(d.stream.info.bitrate, 1411u);
    EXPECT_EQ(d.stream.info.flags & (stream_type_changed | stream_format_changed),
              static_cast<uint32_t>(stream_type_changed | stream_format_changed));
    std::vector<uint32_t> blocks;
    EXPECT_EQ(decodeAll(&blocks), wave.data);
    // The last block is what is left of the data chunk.
    EXPECT_EQ(blocks, (std::vector<uint32_t>{1024, 1024, 952}));
}

// The codecs as melvox-play has them: the WAVE codec probed before the MPEG
// codec, which takes whatever no other codec claims.
class WaveCodecBesideMpeg : public WaveCodec {
protected:
    void SetUp() override
    {
        register_input_module(d, file_input_module_register);
        register_codec_module(d, mpeg_codec_module_register);
        register_codec_module(d, wave_codec_module_register);
    }

    std::string codecName()
    {
        codec_module_info info{};
        d.codec.entry->table.codec.query(&info, query_module_name);
        return info.info.name;
    }
};

TEST_F(WaveCodecBesideMpeg, AWaveStreamIsKnownByItsHeaderWhateverItsName)
{
    WaveLayout wave;
    wave.data = noise16(2 * 3000);
    for (const char* name : {"song", "song.mp3", "song.WAV"}) {
        ASSERT_EQ(open(waveBytes(wave), name), 0) << name;
        EXPECT_EQ(codecName(), "WAVE Audio Codec") << name;
        EXPECT_EQ(decodeAll(), wave.data) << name; // the bytes looked at first are not lost
        input_close(d);
    }
    // Too short for a header, or another header: the MPEG codec's.
    for (std::vector<uint8_t> other : {std::vector<uint8_t>{'R', 'I', 'F', 'F'}, std::vector<uint8_t>(100, 'x')}) {
        ASSERT_EQ(open(other, "other"), 0);
        EXPECT_EQ(codecName(), "MPEG Audio Codec");
        input_close(d);
    }
}

TEST_F(WaveCodec, EightBitMonoAt11025IsWidenedInBlocksOf512Samples)
{
    WaveLayout wave;
    wave.rate = 11025;
    wave.channels = 1;
    wave.bits = 8;
    wave.data = noise8(1300);
    wave.data[0] = 0;
    wave.data[1] = 128;
    wave.data[2] = 255;
    ASSERT_EQ(open(waveBytes(wave)), 0);
    std::vector<int16_t> pcm;
    ASSERT_EQ(decode(pcm), 0);
    EXPECT_EQ(frame.samples_per_channel, 512u);
    EXPECT_EQ(frame.channels, 1u);
    EXPECT_EQ(pcm[0], -32768);
    EXPECT_EQ(pcm[1], 0);
    EXPECT_EQ(pcm[2], 32512);
    for (size_t i = 0; i < pcm.size(); ++i)
        ASSERT_EQ(pcm[i], (wave.data[i] - 128) * 256) << i;
}

TEST_F(WaveCodec, BlockSizesFollowTheRate)
{
    struct Case {
        uint32_t rate;
        uint16_t channels, bits;
        uint32_t samples;
    };
    for (Case c : {Case{48000, 2, 16, 1024}, Case{22050, 1, 16, 1024}, Case{22050, 2, 8, 512}, Case{8000, 1, 8, 512},
                   Case{12000, 2, 16, 256}, Case{44100, 1, 8, 2048}}) {
        WaveLayout wave;
        wave.rate = c.rate;
        wave.channels = c.channels;
        wave.bits = c.bits;
        wave.data = noise8(20000);
        ASSERT_EQ(open(waveBytes(wave)), 0) << c.rate;
        std::vector<int16_t> pcm;
        ASSERT_EQ(decode(pcm), 0);
        EXPECT_EQ(frame.samples_per_channel, c.samples) << c.rate << " Hz, " << c.bits << " bits";
        input_close(d);
    }
}

TEST_F(WaveCodec, ChunksAreSkippedByTheirSizeAndPadding)
{
    WaveLayout wave;
    wave.channels = 1;
    wave.fmtSize = 18;
    wave.extraChunks = {{"LIST", std::vector<uint8_t>(11, 'x')}, {"fact", {4, 0, 0, 0}}};
    wave.data = noise16(700);
    wave.trailing = {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'a', 'b', 'c', 'd'};
    ASSERT_EQ(open(waveBytes(wave)), 0);
    // The trailing chunk is not sound.
    EXPECT_EQ(decodeAll(), wave.data);
}

TEST_F(WaveCodec, ASeekIntoTheDataRealignsToTheNextBlock)
{
    WaveLayout wave;
    wave.data = noise16(2 * 2000);
    ASSERT_EQ(open(waveBytes(wave)), 0);
    ASSERT_EQ(seek_offset(d, 44 + 4 * 100 + 1), 0);
    std::vector<int16_t> pcm;
    ASSERT_EQ(decode(pcm), 0);
    EXPECT_EQ(std::memcmp(pcm.data(), wave.data.data() + 4 * 101, 8), 0);
    // A seek into the header goes on from the first data byte.
    ASSERT_EQ(seek_offset(d, 10), 0);
    ASSERT_EQ(decode(pcm), 0);
    EXPECT_EQ(std::memcmp(pcm.data(), wave.data.data(), 16), 0);
}

TEST_F(WaveCodec, WhatIsNotPcmWaveIsRefused)
{
    WaveLayout good;
    good.data = noise16(100);
    auto bytes = waveBytes(good);

    auto notRiff = bytes;
    std::memcpy(notRiff.data(), "RIFX", 4);
    EXPECT_EQ(open(notRiff), error_unsupported_format);
    auto notWave = bytes;
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    EXPECT_EQ(open(notWave), error_unsupported_format);
    EXPECT_EQ(open(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30)), error_unsupported_format);
    EXPECT_EQ(open(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8)), error_unsupported_format);
    EXPECT_EQ(open({}), error_unsupported_format);

    WaveLayout longHeader = good;
    longHeader.extraChunks = {{"junk", std::vector<uint8_t>(9000, 0)}};
    EXPECT_EQ(open(waveBytes(longHeader)), error_unsupported_format);
    WaveLayout compressed = good;
    compressed.formatTag = 0x55;
    EXPECT_EQ(open(waveBytes(compressed)), error_unsupported_format);
    WaveLayout wide = good;
    wide.bits = 40;
    EXPECT_EQ(open(waveBytes(wide)), error_unsupported_format);
    WaveLayout narrowFloat = good;
    narrowFloat.formatTag = 3;
    EXPECT_EQ(open(waveBytes(narrowFloat)), error_unsupported_format) << "16-bit float";
    WaveLayout wideLaw = good;
    wideLaw.formatTag = 6;
    EXPECT_EQ(open(waveBytes(wideLaw)), error_unsupported_format) << "16-bit A-law";
    WaveLayout adpcm = good;
    adpcm.formatTag = 0xfffe;
    adpcm.subFormat = 0x11;
    EXPECT_EQ(open(waveBytes(adpcm)), error_unsupported_format) << "IMA ADPCM as WAVE_FORMAT_EXTENSIBLE";
    WaveLayout foreign = good;
    foreign.formatTag = 0xfffe;
    foreign.subFormat = 1;
    foreign.foreignGuid = true;
    EXPECT_EQ(open(waveBytes(foreign)), error_unsupported_format) << "a sub-format GUID of another family";
    WaveLayout silent = good;
    silent.channels = 0;
    EXPECT_EQ(open(waveBytes(silent)), error_unsupported_format);
    // Data before any format.
    std::vector<uint8_t> noFormat = {'R', 'I', 'F', 'F', 12,  0,   0, 0, 'W', 'A',
                                     'V', 'E', 'd', 'a', 't', 'a', 0, 0, 0,   0};
    EXPECT_EQ(open(noFormat), error_unsupported_format);
    EXPECT_FALSE(d.input_is_open());
    // The decoder is none the worse for it.
    EXPECT_EQ(open(bytes), 0);
}

// Random bytes as the data of a format: every bit pattern, so rounding ties,
// values beyond full scale, infinities and NaNs of the float formats occur.
std::vector<uint8_t> random_bytes(size_t size, uint32_t seed)
{
    return noise8(size, seed);
}

// Floats spread over -1.5 to 1.5: clipping and rounding, not only patterns.
std::vector<uint8_t> float_samples(size_t count, bool doubles)
{
    std::vector<uint8_t> out;
    uint32_t state = 7;
    for (size_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        double x = (static_cast<double>(state) / 4294967296.0 - 0.5) * 3.0;
        uint8_t bytes[8];
        if (doubles)
            std::memcpy(bytes, &x, 8);
        else {
            float f = static_cast<float>(x);
            std::memcpy(bytes, &f, 4);
        }
        out.insert(out.end(), bytes, bytes + (doubles ? 8 : 4));
    }
    return out;
}

TEST_F(WaveCodec, EachSampleFormatDecodesToTheNearest16BitValue)
{
    if (std::system("command -v sox > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "sox missing (scripts/setup installs it)";
    // The source: 16-bit stereo noise holding every value.
    WaveLayout source;
    source.data = noise16(2 * 6000, 3);
    writeBytes(dir.file("source.wav"), waveBytes(source));
    struct format_case {
        const char* name;
        const char* sox;   // sox options that write the file from the source, or
        WaveLayout layout; // the file as written here
        bool lossless;     // then it decodes to the source itself
    };
    auto layout = [](uint16_t tag, uint16_t bits, std::vector<uint8_t> data, uint16_t sub = 0) {
        WaveLayout w;
        w.formatTag = tag;
        w.subFormat = sub;
        w.fmtSize = sub ? 40 : 16;
        w.bits = bits;
        w.data = std::move(data);
        return w;
    };
    const format_case cases[] = {
        {"int24 extensible", "-b 24", {}, true},
        {"int24", "-t wavpcm -b 24", {}, true},
        {"int32 extensible", "-b 32", {}, true},
        {"int32", "-t wavpcm -b 32", {}, true},
        {"float32", "-e floating-point -b 32", {}, true},
        {"float64", "-e floating-point -b 64", {}, true},
        {"a-law", "-e a-law", {}, false},
        {"mu-law", "-e u-law", {}, false},
        {"int24 any bits", nullptr, layout(1, 24, random_bytes(2 * 3 * 3000, 5)), false},
        {"int32 any bits", nullptr, layout(1, 32, random_bytes(2 * 4 * 3000, 6)), false},
        {"float32 beyond full scale", nullptr, layout(3, 32, float_samples(2 * 3000, false)), false},
        {"float64 beyond full scale", nullptr, layout(3, 64, float_samples(2 * 3000, true)), false},
        {"float32 extensible", nullptr, layout(0xfffe, 32, float_samples(2 * 3000, false), 3), false},
        {"a-law any bytes", nullptr, layout(6, 8, random_bytes(2 * 3000, 8)), false},
        {"mu-law any bytes", nullptr, layout(7, 8, random_bytes(2 * 3000, 9)), false},
    };
    for (const format_case& c : cases) {
        std::string file = dir.file("format.wav");
        if (c.sox) {
            ASSERT_EQ(std::system(("sox '" + dir.file("source.wav") + "' " + c.sox + " '" + file + "'").c_str()), 0)
                << c.name;
        } else {
            writeBytes(file, waveBytes(c.layout));
        }
        // sox's own reading of the file, to 16 bits without dither, is the judge.
        std::string expected_file = dir.file("expected.raw");
        ASSERT_EQ(
            std::system(
                ("sox -D '" + file + "' -b 16 -e signed-integer -t raw '" + expected_file + "' 2> /dev/null").c_str()),
            0)
            << c.name;
        std::vector<uint8_t> expected = readBytes(expected_file);
        std::vector<uint8_t> bytes = readBytes(file);
        ASSERT_EQ(open(bytes, "format.wav"), 0) << c.name;
        std::vector<uint8_t> ours = decodeAll();
        EXPECT_EQ(ours.size(), expected.size()) << c.name;
        // sox takes float samples through 32-bit integers, rounding twice:
        // next to a tie it may land one above the nearest value.
        size_t differing = 0;
        int largest = 0;
        for (size_t i = 0; i + 1 < std::min(ours.size(), expected.size()); i += 2) {
            int d = std::abs(int16_t(ours[i] | ours[i + 1] << 8) - int16_t(expected[i] | expected[i + 1] << 8));
            differing += d != 0;
            largest = std::max(largest, d);
        }
        bool float_data = !c.sox && (c.layout.formatTag == 3 || c.layout.subFormat == 3);
        EXPECT_LE(largest, float_data ? 1 : 0) << c.name;
        EXPECT_LE(differing, ours.size() / 2 / 1000) << c.name;
        if (c.lossless) {
            EXPECT_TRUE(ours == source.data) << c.name;
        }
        input_close(d);
    }
}

// Whole seconds of the data that the file holds: a data size written before
// it was known (0, or 0xFFFFFFFF "until the end") or larger than the file
// does not make one up.
TEST_F(WaveCodec, DurationIsWholeSecondsOfData)
{
    WaveLayout wave;
    wave.rate = 8000;
    wave.channels = 1;
    wave.data = noise16(8000 * 5 / 2); // 2.5 s
    const struct {
        int64_t data_size; // as the header says it; -1 keeps the true one
        size_t kept;       // bytes of data in the file
        uint32_t duration_ms;
    } cases[] = {
        {-1, 40000, 2000}, {0, 40000, 2000}, {0xFFFFFFFF, 40000, 2000}, {0x7FFFFFF0, 40000, 2000}, {-1, 20000, 1000}};
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = waveBytes(wave);
        if (c.data_size >= 0)
            for (int i = 0; i < 4; ++i)
                bytes[40 + static_cast<size_t>(i)] = static_cast<uint8_t>(c.data_size >> (8 * i));
        bytes.resize(44 + c.kept);
        ASSERT_EQ(open(bytes), 0) << c.data_size;
        EXPECT_EQ(d.stream.info.duration_ms, c.duration_ms) << c.data_size << ", " << c.kept;
        EXPECT_EQ(d.stream.info.bitrate, 128u);
        input_close(d);
    }
}

} // namespace
