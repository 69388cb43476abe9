// Reads a byte buffer bit by bit, most significant bit first, and never reads
// outside it: whatever a damaged stream asks for, bits past the end read as 0.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace melvox::mpeg {

class bit_reader {
public:
    // Bytes that every buffer handed to reset() must have writable behind its data.
    static constexpr size_t padding = 8;

    // Reads data[0 .. size); zeroes the padding behind it, so that a read that
    // runs past the end sees zeros and stays inside the buffer.
    void reset(uint8_t* data, size_t size)
    {
        std::memset(data + size, 0, padding);
        data_ = data;
        limit_ = size * 8;
        position_ = 0;
    }

    // The next n bits (0 to 32), most significant first.
    uint32_t get_bits(int n)
    {
        if (n == 0)
            return 0;
        uint32_t value = static_cast<uint32_t>(peek64() >> (64 - n));
        position_ += n;
        return value;
    }

    uint32_t get_bit() { return get_bits(1); }

    // The next 32 bits without moving on.
    uint32_t peek32() const { return static_cast<uint32_t>(peek64() >> 32); }

    void skip(size_t n) { position_ += n; }

    // Position in bits from the start of the buffer; may lie past the end.
    size_t position() const { return position_; }
    void set_position(size_t bits) { position_ = bits; }
    size_t size_bits() const { return limit_; }
    bool past_end() const { return position_ > limit_; }

    // The next 64 bits, left-aligned; at least 57 of them come from the buffer
    // (or its zero padding) at the current position.
    uint64_t peek64() const
    {
        if (position_ >= limit_)
            return 0;
        uint64_t word;
        std::memcpy(&word, data_ + (position_ >> 3), sizeof word);
        if constexpr (std::endian::native == std::endian::little)
            word = __builtin_bswap64(word);
        return word << (position_ & 7);
    }

private:
    const uint8_t* data_ = zero_;
    size_t limit_ = 0;
    size_t position_ = 0;
    static constexpr uint8_t zero_[padding] = {};
};

} // namespace melvox::mpeg
