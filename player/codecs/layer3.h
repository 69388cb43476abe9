// Layer III decoding of MPEG-1, MPEG-2 and MPEG 2.5 frames: side information,
// scalefactors, Huffman decoding with requantisation, M/S and intensity
// stereo, antialias, the hybrid filter, and the rows handed to the synthesis.
#pragma once

#include "channel_routing.h"
#include "mpeg_frame_reader.h"
#include "mpeg_header.h"

#include <cstdint>

namespace melvox::mpeg::layer3 {

struct granule_channel {
    int part2_3_length = 0;
    int part2_length = 0; // bits of the scalefactors, known once they are read
    int big_values = 0;
    int global_gain = 0;
    int scalefac_compress = 0;
    int window_switching_flag = 0;
    int block_type = 0;
    int mixed_block_flag = 0;
    int table_select[3] = {};
    int subblock_gain[3] = {};
    int region0_count = 0;
    int region1_count = 0;
    int region1_start = 0; // spectral lines
    int region2_start = 0;
    int preflag = 0;
    int scalefac_scale = 0;
    int count1table_select = 0;

    bool short_blocks() const { return window_switching_flag && block_type == 2; }
    bool mixed() const { return short_blocks() && mixed_block_flag; }
};

// Scalefactors of one channel; they carry from granule 0 to granule 1 (scfsi).
struct scalefactors {
    uint8_t long_bands[22] = {};
    uint8_t short_bands[13][3] = {};
    // Intensity stereo (right channel): the value of each band that marks
    // "no intensity position" (7 for MPEG-1, 2^slen - 1 for MPEG-2).
    uint8_t long_illegal[22] = {};
    uint8_t short_illegal[13] = {};
    int intensity_scale = 0; // MPEG-2: the step of the intensity factors
};

struct layer3_frame {
    bool lsf = false; // lower sampling frequencies: MPEG-2 rules, one granule
    int granules = 2;
    int channels = 2;
    int rate_index = 0;
    bool ms_stereo = false;
    bool intensity_stereo = false;
    int main_data_begin = 0;
    int scfsi[2][4] = {};
    granule_channel gr[2][2];
};

// One channel's spectrum and hybrid filter state.
struct hybrid_channel {
    alignas(32) float spectrum[576];
    alignas(32) float rows[18][32];    // hybrid output: time rows of 32 subbands
    alignas(32) float overlap[18][32]; // second halves of the last granule's blocks, as rows
    int zero_subbands = 32;            // whole groups of 18 lines at the top that are zero
};

class decoder {
public:
    decoder() { clear(); }

    // Clears the overlap of both channels.
    void clear();

    // Decodes the current frame of the reader into the routed synthesis
    // channels. Returns 0, or error_invalid_frame for malformed side
    // information (the frame then gives no samples). A frame whose main data
    // is not in the reservoir gives silence and clears the overlap.
    int decode(frame_reader& reader, const channel_routing& routing);

private:
    int read_side_info(bit_reader& bits, const frame_header& header);
    void read_scalefactors(bit_reader& bits, int granule, int channel);
    void output_silence(const channel_routing& routing);

    layer3_frame frame_;
    scalefactors scalefactors_[2];
    hybrid_channel channels_[2];
};

// The steps of a granule, separate so that they can be checked on their own.

// Decodes the Huffman data of one granule channel into requantised,
// reordered spectral lines; leaves the reader at the end of part2_3_length.
void decode_spectrum(bit_reader& bits, size_t part3_end, const layer3_frame& frame, const granule_channel& gc,
                     const scalefactors& sf, hybrid_channel& out);
// M/S and intensity stereo over both channels of a granule.
void process_stereo(const layer3_frame& frame, const granule_channel& right, const scalefactors& right_sf,
                    hybrid_channel& left_channel, hybrid_channel& right_channel);
// Antialias butterflies across subband boundaries.
void antialias(const granule_channel& gc, int rate_index, bool lsf, hybrid_channel& channel);
// IMDCT, windowing and overlap into 18 rows of 32 subband samples.
void hybrid_filter(const granule_channel& gc, int rate_index, bool lsf, int shift, hybrid_channel& channel);
// The 36-point inverse MDCT (18 lines in, 36 samples out, not windowed).
void imdct36(const float* in, float* out);
// The 12-point inverse MDCT (6 lines in, 12 samples out, not windowed).
void imdct12(const float* in, float* out);

// Number of zero groups of 18 lines at the top of a spectrum whose lines from
// `end` on are known to be zero.
int zero_subbands(const float* spectrum, int end = 576);
// Lines covered by the long-block part of a mixed block.
int mixed_long_lines(int rate_index, bool lsf);

} // namespace melvox::mpeg::layer3
