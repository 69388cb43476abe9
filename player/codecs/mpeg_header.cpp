#include "mpeg_header.h"

#include "mpeg_tables.h"

namespace melvox::mpeg {

namespace {

// Row of the version in the sampling-rate table: MPEG-1, MPEG-2, MPEG 2.5.
int version_row(const frame_header& h)
{
    switch (h.id) {
    case 1: return 0;
    case 0: return 1;
    default: return 2;
    }
}

} // namespace

frame_header parse_header(uint32_t word)
{
    frame_header h;
    bool bit20 = word >> 20 & 1;
    bool bit19 = word >> 19 & 1;
    h.id = bit20 ? (bit19 ? 1 : 0) : (bit19 ? 3 : 2);
    h.layer = word >> 17 & 3;
    h.protection_bit = word >> 16 & 1;
    h.bitrate_index = word >> 12 & 15;
    h.sampling_frequency = word >> 10 & 3;
    h.padding_bit = word >> 9 & 1;
    h.private_bit = word >> 8 & 1;
    h.mode = word >> 6 & 3;
    h.mode_extension = word >> 4 & 3;
    h.copyright = word >> 3 & 1;
    h.original_copy = word >> 2 & 1;
    h.emphasis = word & 3;
    return h;
}

bool header_valid(const frame_header& h)
{
    if (h.bitrate_index == 15 || h.layer == 0 || h.sampling_frequency == 3)
        return false;
    if (h.padding_bit && h.sampling_frequency != 0 && !is_free_format(h))
        return false;
    if (h.id == 3 || (h.id == 2 && h.layer != 1))
        return false;
    if (h.id == 1 && h.layer == 2 && !is_free_format(h)) {
        bool low = h.bitrate_index == 1 || h.bitrate_index == 2 || h.bitrate_index == 3 || h.bitrate_index == 5;
        bool high = h.bitrate_index >= 11;
        if ((low && h.mode != mode_single_channel) || (high && h.mode == mode_single_channel))
            return false;
    }
    return true;
}

int bitrate_kbps(const frame_header& h)
{
    if (h.layer == 0 || h.id == 3)
        return 0;
    int row = (h.id == 1 ? 0 : 3) + layer_number(h) - 1;
    return tables::bitrate_kbps[row][h.bitrate_index];
}

int sampling_rate(const frame_header& h)
{
    if (h.id == 3)
        return 0;
    return static_cast<int>(tables::sampling_rate_hz[version_row(h)][h.sampling_frequency]);
}

int rate_index(const frame_header& h)
{
    return version_row(h) * 3 + (h.sampling_frequency < 3 ? h.sampling_frequency : 0);
}

int frame_length(const frame_header& h)
{
    int bitrate = bitrate_kbps(h);
    int rate = sampling_rate(h);
    if (rate == 0 || bitrate == 0)
        return 0;
    bool padded = h.padding_bit && h.sampling_frequency == 0;
    switch (layer_number(h)) {
    case 1: return 12000 * bitrate / rate * 4 + (padded ? 4 : 0);
    case 2: return 144000 * bitrate / rate + (padded ? 1 : 0);
    default: return 144000 * bitrate / rate / (is_lower_sampling_frequency(h) ? 2 : 1) + (padded ? 1 : 0);
    }
}

int padding_bytes(const frame_header& h)
{
    return layer_number(h) == 1 ? 4 : 1;
}

int free_format_bitrate(const frame_header& h, int unpadded_length)
{
    // The inverse of the frame length rule: bytes per frame = bitrate x
    // samples per frame / 8 / rate.
    int64_t bytes_per_kbit = int64_t{samples_per_frame(h)} * 125;
    return static_cast<int>((int64_t{unpadded_length} * sampling_rate(h) + bytes_per_kbit / 2) / bytes_per_kbit);
}

int samples_per_frame(const frame_header& h)
{
    switch (layer_number(h)) {
    case 1: return 384;
    case 2: return 1152;
    default: return is_lower_sampling_frequency(h) ? 576 : 1152;
    }
}

int side_info_length(const frame_header& h)
{
    bool mono = h.mode == mode_single_channel;
    int length = is_lower_sampling_frequency(h) ? (mono ? 9 : 17) : (mono ? 17 : 32);
    return length + (h.protection_bit ? 0 : 2);
}

stream_properties properties_of(const frame_header& h)
{
    stream_properties p;
    p.level = 2 - h.id;
    p.layer = layer_number(h);
    p.bitrate = bitrate_kbps(h);
    p.sampling_frequency = sampling_rate(h);
    p.mode = h.mode;
    return p;
}

} // namespace melvox::mpeg
