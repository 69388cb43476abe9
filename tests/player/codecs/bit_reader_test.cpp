// The bit reader reads most significant bit first and never leaves its buffer.
#include "mpeg_bit_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

using namespace melvox::mpeg;

namespace {

TEST(BitReader, ReadsMostSignificantBitFirstAcrossBytes)
{
    std::vector<uint8_t> buffer = {0xA5, 0x3C, 0xFF, 0x01};
    buffer.resize(buffer.size() + bit_reader::padding);
    bit_reader bits;
    bits.reset(buffer.data(), 4);
    EXPECT_EQ(bits.get_bits(0), 0u);
    EXPECT_EQ(bits.get_bits(1), 1u);
    EXPECT_EQ(bits.get_bits(3), 0x2u);
    EXPECT_EQ(bits.get_bits(8), 0x53u);
    EXPECT_EQ(bits.peek32(), 0xCFF01000u);
    EXPECT_EQ(bits.get_bits(16), 0xCFF0u);
    EXPECT_EQ(bits.position(), 28u);
    bits.skip(3);
    EXPECT_EQ(bits.get_bit(), 1u);
    EXPECT_FALSE(bits.past_end());
    bits.set_position(4);
    EXPECT_EQ(bits.get_bits(32), 0x53CFF010u);
}

TEST(BitReader, BitsPastTheEndReadAsZeroFromAnyPosition)
{
    // An exact-size heap block: AddressSanitizer reports any read outside it.
    const size_t size = 5;
    auto block = std::make_unique<uint8_t[]>(size + bit_reader::padding);
    std::fill_n(block.get(), size + bit_reader::padding, 0xFF); // padding dirty before reset
    bit_reader bits;
    bits.reset(block.get(), size);
    EXPECT_EQ(bits.get_bits(32), 0xFFFFFFFFu);
    EXPECT_EQ(bits.get_bits(16), 0xFF00u) << "the last byte, then zeros";
    EXPECT_TRUE(bits.past_end());
    for (size_t position : {size_t{40}, size_t{47}, size_t{1000}, size_t{1} << 31})
        for (int n : {1, 9, 16, 32}) {
            bits.set_position(position);
            EXPECT_EQ(bits.get_bits(n), 0u) << position;
        }
}

TEST(BitReader, RandomReadsMatchABitByBitReader)
{
    std::mt19937 random(7);
    std::vector<uint8_t> data(64);
    for (auto& byte : data)
        byte = static_cast<uint8_t>(random());
    std::vector<uint8_t> buffer = data;
    buffer.resize(data.size() + bit_reader::padding);
    bit_reader bits;
    bits.reset(buffer.data(), data.size());
    size_t position = 0;
    while (position < data.size() * 8 + 40) {
        int n = static_cast<int>(random() % 33);
        uint32_t expected = 0;
        for (int i = 0; i < n; ++i) {
            size_t at = position + static_cast<size_t>(i);
            uint32_t bit = at < data.size() * 8 ? (data[at / 8] >> (7 - at % 8)) & 1 : 0;
            expected = expected << 1 | bit;
        }
        ASSERT_EQ(bits.get_bits(n), expected) << "at bit " << position << ", " << n << " bits";
        position += static_cast<size_t>(n);
    }
}

TEST(BitReader, EmptyReaderReadsZeros)
{
    bit_reader bits;
    EXPECT_EQ(bits.get_bits(32), 0u);
    EXPECT_EQ(bits.peek32(), 0u);
}

} // namespace
