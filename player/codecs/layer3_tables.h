// Layer III tables that follow from formulas: requantisation powers, gains,
// IMDCT windows and factors, MPEG-2 scalefactor records, intensity ratios.
#pragma once

#include <cstdint>

namespace melvox::mpeg::layer3 {

// |v|^(4/3) for v = 0 to 8206 (15 plus 13 linbits).
constexpr int pow43_size = 8207;
extern const float* const pow43;

// 2^(e/4) for every quarter-power exponent e that side information and
// scalefactors can produce; gain(e) clamps to the table.
constexpr int gain_min_exponent = -420;
constexpr int gain_max_exponent = 64;
float gain(int exponent);

// A first-level look-up over a Huffman tree: the entry for the next 8 bits
// is a leaf reached within them (its code length in `bits`), or the tree
// entry reached after all 8 (bits 0), from which the walk goes on bit by bit.
struct huffman_lookup {
    struct entry {
        int16_t value; // leaf value, or tree index
        uint8_t bits;  // code length of a leaf; 0 for a tree index
    };
    entry first[256];
};
// The look-up of Huffman table 0-33 (tables that share a tree share it).
const huffman_lookup& huffman_lookup_for(int table);

// MPEG-2 scalefactor record for one scalefac_compress value.
struct lsf_record {
    uint8_t slen[4];
    uint8_t preflag;
    uint8_t block_number; // row of the nr_of_sfb table
};
// Ordinary records by scalefac_compress (0-511) and the intensity-stereo
// records of the right channel by scalefac_compress >> 1 (0-255).
const lsf_record& lsf_scalefactor_record(int scalefac_compress, bool intensity_right);

// Antialias butterfly coefficients.
extern const float* const antialias_cs;
extern const float* const antialias_ca;

// IMDCT windows for block types 0, 1, 3 (36 coefficients) and 2 (12), in the
// even-subband form [0] and the odd-subband form [1] whose every second
// coefficient is negated (the frequency inversion of odd subbands).
const float* long_window(int block_type, int odd);
// The window of block type 0, 1 or 3 for eight subbands side by side:
// [36][8], coefficient t of subband j at 8 t + j, even and odd forms alternating.
const float* long_window_lanes(int block_type);
const float* short_window(int odd);

// Intensity-stereo factors of the left and right channel: MPEG-1 by is_pos
// (0-6), MPEG-2 by intensity_scale and is_pos (0-31).
struct intensity_factors {
    float left, right;
};
const intensity_factors& mpeg1_intensity(int is_pos);
const intensity_factors& lsf_intensity(int intensity_scale, int is_pos);

} // namespace melvox::mpeg::layer3
