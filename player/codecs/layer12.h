// Layer I and Layer II decoding: bit allocation, scalefactors, requantised
// samples, handed row by row to the synthesis.
#pragma once

#include "channel_routing.h"
#include "mpeg_frame_reader.h"
#include "mpeg_tables.h"

namespace melvox::mpeg::layer12 {

class decoder {
public:
    // Both decode the current frame of the reader into the routed synthesis
    // channels. Return 0, or error_invalid_frame (Layer I: allocation 15 or
    // scalefactor index 63; Layer II: a joint-stereo bound beyond the subband
    // limit); an invalid frame gives no samples.
    int decode_layer1(frame_reader& reader, const channel_routing& routing);
    int decode_layer2(frame_reader& reader, const channel_routing& routing);

private:
    void output_rows(int rows, int channels, const channel_routing& routing);

    int allocation_[2][32] = {};
    int scfsi_[2][32] = {};
    float scalefactor_[2][3][32] = {};
    // Requantised samples of the frame's rows (12 in Layer I, 36 in Layer
    // II), handed to the synthesis together: [channel][row][subband].
    float samples_[2][36][32] = {};
};

// The Layer II allocation table and its subband limit for a frame (tables
// B.2a to B.2d by sampling frequency and bitrate per channel, or the table
// of the lower sampling frequencies).
const tables::layer2_allocation& layer2_table(const frame_header& header);

// The Layer I/II scalefactor for an index: 2 * 2^(-i/3), and 0 for index 63.
float scalefactor_value(int index);

} // namespace melvox::mpeg::layer12
