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
    wide.bits = 24;
    EXPECT_EQ(open(waveBytes(wide)), error_unsupported_format);
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

TEST_F(WaveCodec, DurationIsWholeSecondsOfData)
{
    WaveLayout wave;
    wave.rate = 8000;
    wave.channels = 1;
    wave.data = noise16(8000 * 5 / 2); // 2.5 s
    ASSERT_EQ(open(waveBytes(wave)), 0);
    EXPECT_EQ(d.stream.info.duration_ms, 2000u);
    EXPECT_EQ(d.stream.info.bitrate, 128u);
}

} // namespace
