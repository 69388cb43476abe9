// Layers I and II: table selection, validity checks, scalefactor index 63,
// mixing, and the subbands kept when downsampling, on frames written here.
#include "layer12.h"
#include "layer3_builder.h"
#include "mpeg_errors.h"
#include "mpeg_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace melvox::mpeg;
using namespace mpeg_test;

namespace {

std::vector<uint8_t> frame_bytes(uint32_t header, const bit_writer& body)
{
    bit_writer out;
    out.put(header, 32);
    out.append(body, body.size_bits());
    std::vector<uint8_t> bytes = out.bytes();
    size_t length = static_cast<size_t>(frame_length(parse_header(header)));
    EXPECT_LE(bytes.size(), length);
    bytes.resize(length, 0);
    return bytes;
}

std::vector<uint8_t> repeat(const std::vector<uint8_t>& frame, int count)
{
    std::vector<uint8_t> stream;
    for (int i = 0; i < count; ++i)
        stream.insert(stream.end(), frame.begin(), frame.end());
    return stream;
}

TEST(Layer2Tables, SelectionBySamplingFrequencyAndBitratePerChannel)
{
    struct selection {
        uint32_t header;
        int sblimit;
    };
    // MPEG-1 Layer II headers: rate field at bits 10-11, bitrate index at 12-15, mode at 6-7.
    auto header = [](int bitrate_index, int rate, int mode) {
        return 0xFFFD0000u | uint32_t(bitrate_index) << 12 | uint32_t(rate) << 10 | uint32_t(mode) << 6;
    };
    for (selection s : {selection{header(1, 1, 3), 8},          // 32 kbit/s mono, 48 kHz: B.2c
                        selection{header(1, 2, 3), 12},         // 32 kbit/s mono, 32 kHz: B.2d
                        selection{header(2, 0, 3), 8},          // 48 kbit/s mono, 44.1 kHz: B.2c
                        selection{header(4, 0, 0), 8},          // 64 kbit/s stereo: 32 per channel
                        selection{header(8, 0, 0), 27},         // 128 kbit/s stereo: 64 per channel, B.2a
                        selection{header(10, 1, 0), 27},        // 192 kbit/s stereo, 48 kHz: B.2a
                        selection{header(10, 0, 0), 30},        // 192 kbit/s stereo, 44.1 kHz: B.2b
                        selection{header(6, 2, 3), 30},         // 96 kbit/s mono, 32 kHz: B.2b
                        selection{header(7, 1, 3), 27},         // 112 kbit/s mono, 48 kHz: B.2a
                        selection{0xFFF50000u | 8u << 12, 30}}) // MPEG-2: the lower-rate table
        EXPECT_EQ(layer12::layer2_table(parse_header(s.header)).sblimit, s.sblimit) << std::hex << s.header;
}

constexpr uint32_t layer2_mono_48k_32k = 0xFFFD14C0u; // table B.2c: 8 subbands, 96-byte frames

// A single-channel Layer II frame with 15-level samples in subband 0.
std::vector<uint8_t> layer2_mono_frame(const int scalefactors[3], const int codes[12][3])
{
    bit_writer body;
    body.put(4, 4); // subband 0: allocation 4, 15 levels of 4 bits
    body.put(0, 4);
    for (int sb = 2; sb < 8; ++sb)
        body.put(0, 3);
    body.put(0, 2); // scfsi 0: three scalefactors
    for (int p = 0; p < 3; ++p)
        body.put(static_cast<uint32_t>(scalefactors[p]), 6);
    for (int g = 0; g < 12; ++g)
        for (int s = 0; s < 3; ++s)
            body.put(static_cast<uint32_t>(codes[g][s]), 4);
    return frame_bytes(layer2_mono_48k_32k, body);
}

TEST(Layer2Frames, ScalefactorIndex63SilencesItsPart)
{
    int loud[12][3], quiet_middle[12][3];
    for (int g = 0; g < 12; ++g)
        for (int s = 0; s < 3; ++s) {
            loud[g][s] = (g * 3 + s) % 2 ? 13 : 1;
            // Code 7 of 15 levels is zero; granules 4 to 7 are part 2.
            quiet_middle[g][s] = g >= 4 && g < 8 ? 7 : loud[g][s];
        }
    const int silenced[3] = {10, 63, 10}, audible[3] = {10, 62, 10};
    decoding a = decode(repeat(layer2_mono_frame(silenced, loud), 3), {}, false);
    decoding b = decode(repeat(layer2_mono_frame(silenced, quiet_middle), 3), {}, false);
    decoding c = decode(repeat(layer2_mono_frame(audible, loud), 3), {}, false);
    ASSERT_EQ(a.frames, 3);
    EXPECT_EQ(a.invalid_frames, 0) << "index 63 is no error in Layer II";
    EXPECT_EQ(a.samples, b.samples);
    EXPECT_NE(a.samples, c.samples);
}

TEST(Layer2Frames, DownsamplingKeepsAnEightSubbandTableWhole)
{
    int codes[12][3];
    for (int g = 0; g < 12; ++g)
        for (int s = 0; s < 3; ++s)
            codes[g][s] = (g + 5 * s) % 15;
    const int scalefactors[3] = {8, 9, 10};
    std::vector<uint8_t> stream = repeat(layer2_mono_frame(scalefactors, codes), 4);
    decoding full = decode(stream, {}, false);
    decoding quarter = decode(stream, {.downsampling = 2}, false);
    ASSERT_EQ(quarter.rate, 12000);
    ASSERT_EQ(quarter.samples.size() * 4, full.samples.size());
    for (size_t i = 0; i < quarter.samples.size(); ++i)
        ASSERT_EQ(quarter.samples[i], full.samples[4 * i]) << "the limit of 8 subbands stays 8";
}

// Whether samples [begin, end) of a decoding are all zero.
bool silent(const decoding& d, size_t begin, size_t end)
{
    return end <= d.samples.size() &&
           std::all_of(d.samples.begin() + static_cast<long>(begin), d.samples.begin() + static_cast<long>(end),
                       [](int16_t s) { return s == 0; });
}

TEST(Layer2Frames, JointStereoBoundBeyondTheSubbandLimitIsInvalidAndSilent)
{
    // 64 kbit/s joint stereo at 48 kHz: 32 kbit/s per channel, 8 subbands.
    std::vector<uint8_t> body(188, 0);
    auto stream_with = [&](int mode_extension) {
        uint32_t header = 0xFFFD4440u | uint32_t(mode_extension) << 4;
        std::vector<uint8_t> frame = {uint8_t(header >> 24), uint8_t(header >> 16), uint8_t(header >> 8),
                                      uint8_t(header)};
        frame.insert(frame.end(), body.begin(), body.end());
        return repeat(frame, 3);
    };
    decoding within = decode(stream_with(1), {}, false); // bound 8
    EXPECT_EQ(within.frames, 3);
    EXPECT_EQ(within.invalid_frames, 0);
    decoding beyond = decode(stream_with(3), {}, false); // bound 16
    EXPECT_EQ(beyond.frames, 3) << "each keeps its time";
    EXPECT_TRUE(silent(beyond, 0, 3 * 1152 * 2));
    EXPECT_EQ(beyond.end_result, error_end_of_input);
}

TEST(Layer2Frames, MixingWithAnEmptyChannelHalvesTheOther)
{
    // Stereo, 64 kbit/s, 48 kHz: left subband 0 allocated, right nothing.
    bit_writer body;
    body.put(4, 4); // subband 0: left allocation 4, right 0
    body.put(0, 4);
    body.put(0, 4); // subband 1
    body.put(0, 4);
    for (int sb = 2; sb < 8; ++sb)
        body.put(0, 6);
    body.put(0, 2); // left scfsi
    for (int p = 0; p < 3; ++p)
        body.put(20, 6);
    for (int g = 0; g < 12; ++g)
        for (int s = 0; s < 3; ++s)
            body.put(static_cast<uint32_t>((g * 7 + s * 3) % 15), 4);
    std::vector<uint8_t> stream = repeat(frame_bytes(0xFFFD4400u, body), 3);
    decoding left = decode(stream, {.channel_mode = 1}, false);
    decoding mixed = decode(stream, {.channel_mode = 3}, false);
    ASSERT_EQ(mixed.samples.size(), left.samples.size());
    int nonzero = 0;
    for (size_t i = 0; i < left.samples.size(); ++i) {
        ASSERT_NEAR(mixed.samples[i], left.samples[i] / 2.0, 1.0) << i;
        nonzero += left.samples[i] != 0;
    }
    EXPECT_GT(nonzero, 1000);
}

constexpr uint32_t layer1_mono_44k_384k = 0xFFFFC0C0u; // 416-byte frames

// A single-channel Layer I frame: allocation, scalefactor index and a
// sample code for chosen subbands.
std::vector<uint8_t> layer1_frame(const std::vector<int>& subbands, int allocation, int scalefactor)
{
    bit_writer body;
    auto allocated = [&](int sb) { return std::find(subbands.begin(), subbands.end(), sb) != subbands.end(); };
    for (int sb = 0; sb < 32; ++sb)
        body.put(allocated(sb) ? static_cast<uint32_t>(allocation) : 0, 4);
    for (int sb = 0; sb < 32; ++sb)
        if (allocated(sb))
            body.put(static_cast<uint32_t>(scalefactor), 6);
    for (int round = 0; round < 12; ++round)
        for (int sb = 0; sb < 32; ++sb)
            if (allocated(sb))
                body.put(static_cast<uint32_t>((round * 5 + sb) % 7), allocation + 1);
    return frame_bytes(layer1_mono_44k_384k, body);
}

TEST(Layer1Frames, Allocation15AndScalefactor63AreInvalidAndSilent)
{
    std::vector<uint8_t> good = layer1_frame({1, 2}, 3, 20);
    std::vector<uint8_t> stream = good;
    for (const auto& bad : {layer1_frame({1, 2}, 15, 20), layer1_frame({1, 2}, 3, 63)})
        stream.insert(stream.end(), bad.begin(), bad.end());
    stream.insert(stream.end(), good.begin(), good.end());
    decoding d = decode(stream, {}, false);
    EXPECT_EQ(d.frames, 4) << "each keeps its time";
    EXPECT_FALSE(silent(d, 0, 384));
    EXPECT_TRUE(silent(d, 384, 3 * 384));
}

TEST(Layer1Frames, DownsamplingDropsTheUpperSubbands)
{
    std::vector<uint8_t> low = repeat(layer1_frame({2, 5}, 4, 12), 4);
    std::vector<uint8_t> high = repeat(layer1_frame({2, 5, 20}, 4, 12), 4);
    decoding low_half = decode(low, {.downsampling = 1}, false);
    decoding high_half = decode(high, {.downsampling = 1}, false);
    EXPECT_EQ(low_half.rate, 22050);
    EXPECT_EQ(high_half.samples, low_half.samples) << "subband 20 lies above 32 >> 1";
    EXPECT_NE(decode(high, {}, false).samples, decode(low, {}, false).samples);
}

} // namespace
