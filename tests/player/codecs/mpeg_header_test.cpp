// The frame header: field layout, validation, and the lengths and rates that
// follow from it.
#include "mpeg_header.h"

#include <gtest/gtest.h>

using namespace melvox::mpeg;

namespace {

// A header word from its fields (id: 1 MPEG-1, 0 MPEG-2, 2 MPEG 2.5).
uint32_t word(int id, int layer_field, int bitrate_index, int sampling_frequency, int padding = 0, int mode = 0,
              int protection = 1)
{
    uint32_t bit20 = id == 2 ? 0 : 1, bit19 = id == 1 ? 1 : 0;
    return 0xFFE00000u | bit20 << 20 | bit19 << 19 | uint32_t(layer_field) << 17 | uint32_t(protection) << 16 |
           uint32_t(bitrate_index) << 12 | uint32_t(sampling_frequency) << 10 | uint32_t(padding) << 9 |
           uint32_t(mode) << 6;
}

TEST(FrameHeader, FieldsComeFromTheirBits)
{
    frame_header h = parse_header(0xFFFB9064u); // a common MPEG-1 Layer III header
    EXPECT_EQ(h.id, 1);
    EXPECT_EQ(h.layer, 1);
    EXPECT_EQ(h.protection_bit, 1);
    EXPECT_EQ(h.bitrate_index, 9);
    EXPECT_EQ(h.sampling_frequency, 0);
    EXPECT_EQ(h.padding_bit, 0);
    EXPECT_EQ(h.mode, 1);
    EXPECT_EQ(h.mode_extension, 2);
    EXPECT_EQ(h.copyright, 0);
    EXPECT_EQ(h.original_copy, 1);
    EXPECT_EQ(h.emphasis, 0);
    EXPECT_EQ(bitrate_kbps(h), 128);
    EXPECT_EQ(sampling_rate(h), 44100);

    EXPECT_EQ(parse_header(word(0, 1, 1, 2)).id, 0);
    EXPECT_EQ(parse_header(word(2, 1, 1, 2)).id, 2);
    EXPECT_EQ(parse_header(0xFFE80000u).id, 3); // bit 20 clear, bit 19 set
}

TEST(FrameHeader, ValidationRefusesWhatCannotBeDecoded)
{
    EXPECT_TRUE(header_valid(parse_header(word(1, 1, 9, 0))));
    EXPECT_TRUE(header_valid(parse_header(word(1, 1, 0, 0)))) << "free format";
    EXPECT_TRUE(header_valid(parse_header(word(1, 1, 0, 1, 1)))) << "free format pads at any rate";
    EXPECT_FALSE(header_valid(parse_header(word(1, 1, 15, 0)))) << "forbidden bitrate";
    EXPECT_FALSE(header_valid(parse_header(word(1, 0, 9, 0)))) << "reserved layer";
    EXPECT_FALSE(header_valid(parse_header(word(1, 1, 9, 3)))) << "reserved rate";
    EXPECT_FALSE(header_valid(parse_header(0xFFE89000u))) << "id 3";
    // Padding only where frame lengths need it (44.1, 22.05, 11.025 kHz).
    EXPECT_TRUE(header_valid(parse_header(word(1, 1, 9, 0, 1))));
    EXPECT_FALSE(header_valid(parse_header(word(1, 1, 9, 1, 1)))) << "48 kHz with padding";
    // MPEG-1 Layer II bitrate/mode pairs.
    EXPECT_FALSE(header_valid(parse_header(word(1, 2, 1, 0, 0, 0)))) << "32 kbit/s stereo";
    EXPECT_TRUE(header_valid(parse_header(word(1, 2, 1, 0, 0, 3)))) << "32 kbit/s single channel";
    EXPECT_FALSE(header_valid(parse_header(word(1, 2, 14, 0, 0, 3)))) << "384 kbit/s single channel";
    EXPECT_TRUE(header_valid(parse_header(word(1, 2, 14, 0, 0, 1))));
    // MPEG 2.5 is Layer III only.
    EXPECT_TRUE(header_valid(parse_header(word(2, 1, 4, 2))));
    EXPECT_FALSE(header_valid(parse_header(word(2, 2, 4, 2))));
    EXPECT_FALSE(header_valid(parse_header(word(2, 3, 4, 2))));
}

TEST(FrameHeader, LengthsRatesAndSamples)
{
    frame_header l3 = parse_header(word(1, 1, 9, 0)); // 128 kbit/s, 44.1 kHz
    EXPECT_EQ(frame_length(l3), 417);
    EXPECT_EQ(frame_length(parse_header(word(1, 1, 9, 0, 1))), 418);
    EXPECT_EQ(frame_length(parse_header(word(1, 1, 14, 2))), 1440); // 320 kbit/s, 32 kHz
    EXPECT_EQ(frame_length(parse_header(word(0, 1, 8, 0))), 208);   // MPEG-2, 64 kbit/s, 22.05 kHz
    EXPECT_EQ(frame_length(parse_header(word(2, 1, 2, 2))), 144);   // MPEG 2.5, 16 kbit/s, 8 kHz
    EXPECT_EQ(frame_length(parse_header(word(1, 2, 10, 1))), 576);  // Layer II, 192 kbit/s, 48 kHz
    EXPECT_EQ(frame_length(parse_header(word(1, 2, 14, 2, 0, 1))), 1728);
    EXPECT_EQ(frame_length(parse_header(word(1, 3, 12, 0))), 416); // Layer I, 384 kbit/s, 44.1 kHz
    EXPECT_EQ(frame_length(parse_header(word(1, 3, 12, 0, 1))), 420);

    EXPECT_EQ(samples_per_frame(l3), 1152);
    EXPECT_EQ(samples_per_frame(parse_header(word(0, 1, 8, 0))), 576);
    EXPECT_EQ(samples_per_frame(parse_header(word(1, 2, 10, 1))), 1152);
    EXPECT_EQ(samples_per_frame(parse_header(word(1, 3, 12, 0))), 384);

    EXPECT_EQ(side_info_length(l3), 32);
    EXPECT_EQ(side_info_length(parse_header(word(1, 1, 9, 0, 0, 3))), 17);
    EXPECT_EQ(side_info_length(parse_header(word(0, 1, 8, 0, 0, 0, 0))), 19);
    EXPECT_EQ(side_info_length(parse_header(word(0, 1, 8, 0, 0, 3))), 9);

    EXPECT_EQ(sampling_rate(parse_header(word(2, 1, 1, 1))), 12000);
    EXPECT_EQ(bitrate_kbps(parse_header(word(0, 2, 14, 0))), 160);
    EXPECT_EQ(bitrate_kbps(parse_header(word(1, 3, 14, 0))), 448);
}

TEST(FrameHeader, ReportedProperties)
{
    stream_properties p = properties_of(parse_header(word(2, 1, 4, 2, 0, 3)));
    EXPECT_EQ(p.level, 0);
    EXPECT_EQ(p.layer, 3);
    EXPECT_EQ(p.bitrate, 32);
    EXPECT_EQ(p.sampling_frequency, 8000);
    EXPECT_EQ(p.mode, 3);
    EXPECT_EQ(properties_of(parse_header(word(1, 3, 4, 0))).level, 1);
    EXPECT_EQ(properties_of(parse_header(word(0, 2, 4, 0))).level, 2);
    EXPECT_EQ(properties_of(parse_header(word(0, 2, 4, 0))).layer, 2);
}

} // namespace
