// The constant tables of MPEG audio, as generated from the plain-text data in
// player/codecs/tables/ by tools/mpeg_tables_gen.cpp into mpeg_tables_data.cpp.
// Tables that follow from a formula (|v|^(4/3), gains, IMDCT windows) are
// computed by the layer decoders themselves.
#pragma once

#include <cstdint>

namespace melvox::mpeg::tables {

// Bitrates in kbit/s by [row][bitrate_index]: rows 0-2 are MPEG-1 Layers I, II
// and III, rows 3-5 the lower sampling frequencies (MPEG-2 and MPEG 2.5).
// Index 0 (free format) and 15 (forbidden) hold 0.
extern const uint16_t bitrate_kbps[6][16];

// Sampling rates in Hz by [version][sampling_frequency]: version 0 MPEG-1,
// 1 MPEG-2, 2 MPEG 2.5; index 3 is reserved and holds 0.
extern const uint32_t sampling_rate_hz[3][4];

// Layer III scalefactor band boundaries in spectral lines, by rate index
// (0-2: 44100, 48000, 32000; 3-5: 22050, 24000, 16000; 6-8: 11025, 12000, 8000).
// Long blocks: 22 bands, 23 boundaries; short blocks: 13 bands, 14 boundaries.
extern const uint16_t sfb_long_bounds[9][23];
extern const uint16_t sfb_short_bounds[9][14];

// MPEG-1 scalefac_compress -> slen1 ([0]) and slen2 ([1]).
extern const uint8_t slen_mpeg1[2][16];

// Pre-emphasis added to the long-block scalefactors when preflag is set.
extern const uint8_t pretab[22];

// Antialias coefficients ci; cs = 1/sqrt(1+ci^2), ca = ci/sqrt(1+ci^2).
extern const double antialias_ci[8];

// Lower-sampling-frequency scalefactor groups: [block number 0-5]
// [long, short, mixed][group 0-3] = number of scalefactors in the group.
extern const uint8_t lsf_nr_of_sfb[6][3][4];

// The 512 coefficients D[i] of the polyphase synthesis window.
extern const double synthesis_window[512];

// A Huffman code as a binary tree in an array: an entry e >= 0 is a leaf
// (pairs: x = e >> 4, y = e & 15; quadruples: the 4-bit value v w x y); an
// entry e < 0 is a branch: after one bit, 0 continues at the next entry and 1
// continues -e entries beyond the next.
struct huffman_table {
    uint8_t linbits;
    uint16_t size; // entries in the tree
    const int16_t* tree;
};
// Tables 0-31 for big values, 32 and 33 the count1 tables A and B.
extern const huffman_table huffman_tables[34];

// One Layer II quantisation class as the allocation tables name it.
struct layer2_quantization {
    uint16_t levels; // 0: not allocated
    uint8_t bits;    // codeword width (one codeword for three samples when grouped)
    uint8_t grouped; // 1 when three samples share one codeword
};

struct layer2_subband {
    uint8_t nbal; // allocation bits
    layer2_quantization classes[16];
};

struct layer2_allocation {
    uint8_t sblimit;
    layer2_subband subbands[32];
};

// The MPEG-1 tables B.2a (27 subbands), B.2b (30), B.2c (8), B.2d (12) and the
// table of the lower sampling frequencies (30).
extern const layer2_allocation layer2_b2a;
extern const layer2_allocation layer2_b2b;
extern const layer2_allocation layer2_b2c;
extern const layer2_allocation layer2_b2d;
extern const layer2_allocation layer2_lsf;

} // namespace melvox::mpeg::tables
