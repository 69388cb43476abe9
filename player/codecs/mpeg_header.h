// The MPEG audio frame header: its fields, validation, and the sizes and rates
// that follow from it.
#pragma once

#include <cstdint>

namespace melvox::mpeg {

// Field values as they stand in the header word (bit 31 is the stream's first bit).
struct frame_header {
    int id = 0;             // 1 MPEG-1, 0 MPEG-2, 2 MPEG 2.5, 3 invalid
    int layer = 0;          // 1 Layer III, 2 Layer II, 3 Layer I, 0 reserved
    int protection_bit = 0; // 0: a 16-bit CRC follows the header
    int bitrate_index = 0;
    int sampling_frequency = 0;
    int padding_bit = 0;
    int private_bit = 0;
    int mode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    int mode_extension = 0;
    int copyright = 0;
    int original_copy = 0;
    int emphasis = 0;
};

constexpr uint32_t sync_mask = 0xFFE00000u;
constexpr int mode_joint_stereo = 1;
constexpr int mode_single_channel = 3;

inline bool has_sync(uint32_t word)
{
    return (word & sync_mask) == sync_mask;
}

// Splits a header word (read most significant byte first) into its fields.
frame_header parse_header(uint32_t word);

// Whether a parsed header may start a frame that this codec decodes: no
// forbidden bitrate, no reserved layer or rate, padding only at
// 44.1/22.05/11.025 kHz (free format: at any rate), the allowed MPEG-1 Layer II
// bitrate/mode pairs, and MPEG 2.5 only in Layer III.
bool header_valid(const frame_header& header);

// Free format: bitrate index 0, the frame length found from the distance
// between sync words.
inline bool is_free_format(const frame_header& h)
{
    return h.bitrate_index == 0;
}
// What stays the same from frame to frame of one free-format stream: version,
// layer and sampling frequency (and the bitrate index 0).
inline int free_format_key(const frame_header& h)
{
    return is_free_format(h) ? h.id << 4 | h.layer << 2 | h.sampling_frequency : -1;
}

inline int layer_number(const frame_header& h)
{
    return 4 - h.layer;
}
inline bool is_lower_sampling_frequency(const frame_header& h)
{
    return h.id != 1;
}
inline int channel_count(const frame_header& h)
{
    return h.mode == mode_single_channel ? 1 : 2;
}

// Bitrate in kbit/s and sampling rate in Hz; 0 for free format or reserved values.
int bitrate_kbps(const frame_header& header);
int sampling_rate(const frame_header& header);
// Index of the rate in the Layer III band tables: 44100, 48000, 32000, 22050,
// 24000, 16000, 11025, 12000, 8000.
int rate_index(const frame_header& header);

// Frame length in bytes, header included (a valid header is assumed); 0 for
// free format, whose length the stream itself tells.
int frame_length(const frame_header& header);
// The bytes that the padding bit adds: 4 for Layer I, else 1.
int padding_bytes(const frame_header& header);
// Bitrate in kbit/s of a free-format frame of this length without padding.
int free_format_bitrate(const frame_header& header, int unpadded_length);
// PCM samples per channel in one frame: 384, 1152 or (lower sampling frequencies, Layer III) 576.
int samples_per_frame(const frame_header& header);
// Bytes of Layer III side information behind the header, the CRC word included.
int side_info_length(const frame_header& header);

// What the codec reports about a frame.
struct stream_properties {
    int level = 0;              // 1 MPEG-1, 2 MPEG-2, 0 MPEG 2.5
    int layer = 0;              // 1, 2 or 3
    int bitrate = 0;            // kbit/s
    int sampling_frequency = 0; // Hz
    int mode = 0;

    bool operator==(const stream_properties&) const = default;
};
stream_properties properties_of(const frame_header& header);

} // namespace melvox::mpeg
