// Writes Layer III frames from chosen side information, scalefactors and
// spectral values (-1, 0, 1, coded with Huffman table 1), for streams that
// no encoder at hand writes: intensity stereo, mixed blocks, damaged fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mpeg_test {

class bit_writer {
public:
    void put(uint32_t value, int bits);
    // The first `bits` bits of another writer.
    void append(const bit_writer& other, size_t bits);
    size_t size_bits() const { return bits_; }
    // The bytes written, the last one padded with zero bits.
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t bits_ = 0;
};

struct crafted_channel {
    int global_gain = 180;
    int scalefac_compress = 0; // MPEG-1: 4 bits; MPEG-2: 9 bits
    int scalefac_scale = 0;
    int preflag = 0; // MPEG-1 only
    bool short_blocks = false;
    bool mixed = false;
    int block_type = 0; // with short_blocks false: 0, or 1 / 3 for start / stop windows
    int subblock_gain[3] = {};
    std::array<int, 22> long_scalefactors{};
    std::array<std::array<int, 3>, 13> short_scalefactors{};
    std::array<int, 576> values{}; // spectral values in stream order
    // Damage: replace the computed fields when >= 0. A part2_3_length below
    // what the channel's data takes cuts the data there.
    int part2_3_length = -1;
    int big_values = -1;
    bool zero_block_type_with_switching = false;
};

struct crafted_frame {
    int id = 1; // 1 MPEG-1, 0 MPEG-2, 2 MPEG 2.5
    int sampling_frequency = 1;
    int bitrate_index = 14;
    int mode = 1;
    int mode_extension = 0;
    int main_data_begin = 0;
    crafted_channel channels[2][2]; // [granule][channel]
};

// One whole frame: header, side information, main data, zero padding.
std::vector<uint8_t> build_layer3_frame(const crafted_frame& frame);

} // namespace mpeg_test
