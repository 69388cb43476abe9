#include "layer3.h"

#include "layer3_tables.h"
#include "mpeg_errors.h"
#include "mpeg_tables.h"

#include <cstring>

namespace melvox::mpeg::layer3 {

int mixed_long_lines(int rate_index, bool lsf)
{
    // The long part of a mixed block holds 8 long bands (MPEG-1) or 6 (MPEG-2).
    return tables::sfb_long_bounds[rate_index][lsf ? 6 : 8];
}

void decoder::clear()
{
    for (auto& channel : channels_) {
        std::memset(channel.overlap, 0, sizeof channel.overlap);
        channel.zero_subbands = 32;
    }
}

int decoder::read_side_info(bit_reader& bits, const frame_header& header)
{
    layer3_frame& f = frame_;
    f.lsf = is_lower_sampling_frequency(header);
    f.granules = f.lsf ? 1 : 2;
    f.channels = channel_count(header);
    f.rate_index = rate_index(header);
    bool joint = header.mode == mode_joint_stereo;
    f.ms_stereo = joint && (header.mode_extension & 2);
    f.intensity_stereo = joint && (header.mode_extension & 1);

    if (f.lsf) {
        f.main_data_begin = static_cast<int>(bits.get_bits(8));
        bits.skip(f.channels == 1 ? 1 : 2);
    } else {
        f.main_data_begin = static_cast<int>(bits.get_bits(9));
        bits.skip(f.channels == 1 ? 5 : 3);
        for (int ch = 0; ch < f.channels; ++ch)
            for (int band = 0; band < 4; ++band)
                f.scfsi[ch][band] = static_cast<int>(bits.get_bit());
    }

    const uint16_t* bounds = tables::sfb_long_bounds[f.rate_index];
    const uint16_t* short_bounds = tables::sfb_short_bounds[f.rate_index];
    for (int gr = 0; gr < f.granules; ++gr)
        for (int ch = 0; ch < f.channels; ++ch) {
            granule_channel& g = f.gr[gr][ch];
            g.part2_3_length = static_cast<int>(bits.get_bits(12));
            g.big_values = static_cast<int>(bits.get_bits(9));
            g.global_gain = static_cast<int>(bits.get_bits(8));
            g.scalefac_compress = static_cast<int>(bits.get_bits(f.lsf ? 9 : 4));
            g.window_switching_flag = static_cast<int>(bits.get_bit());
            if (g.big_values > 288)
                return error_invalid_frame;
            if (g.window_switching_flag) {
                g.block_type = static_cast<int>(bits.get_bits(2));
                g.mixed_block_flag = static_cast<int>(bits.get_bit());
                if (g.block_type == 0)
                    return error_invalid_frame;
                g.table_select[0] = static_cast<int>(bits.get_bits(5));
                g.table_select[1] = static_cast<int>(bits.get_bits(5));
                g.table_select[2] = 0;
                for (int& gain : g.subblock_gain)
                    gain = static_cast<int>(bits.get_bits(3));
                // The first region ends where the first 8 long bands (for
                // short blocks, the first 3 short bands) end: line 36 (54 for
                // long blocks at the lower rates), but 108 and 72 at 8 kHz,
                // whose bands are wider; encoders write it so.
                g.region1_start = g.block_type == 2 ? 3 * short_bounds[3] : bounds[8];
                g.region2_start = 576;
                g.region0_count = g.region1_count = 0; // implied by the block type
            } else {
                g.block_type = 0;
                g.mixed_block_flag = 0;
                for (int& table : g.table_select)
                    table = static_cast<int>(bits.get_bits(5));
                g.subblock_gain[0] = g.subblock_gain[1] = g.subblock_gain[2] = 0;
                g.region0_count = static_cast<int>(bits.get_bits(4));
                g.region1_count = static_cast<int>(bits.get_bits(3));
                g.region1_start = bounds[g.region0_count + 1];
                int region2 = g.region0_count + g.region1_count + 2;
                g.region2_start = region2 < 22 ? bounds[region2] : 576;
            }
            g.preflag = f.lsf ? 0 : static_cast<int>(bits.get_bit());
            g.scalefac_scale = static_cast<int>(bits.get_bit());
            g.count1table_select = static_cast<int>(bits.get_bit());
        }
    return 0;
}

void decoder::read_scalefactors(bit_reader& bits, int granule, int channel)
{
    granule_channel& g = frame_.gr[granule][channel];
    scalefactors& sf = scalefactors_[channel];
    size_t start = bits.position();

    if (!frame_.lsf) {
        int slen1 = tables::slen_mpeg1[0][g.scalefac_compress];
        int slen2 = tables::slen_mpeg1[1][g.scalefac_compress];
        if (g.short_blocks()) {
            int first_short = 0;
            if (g.mixed()) {
                for (int band = 0; band < 8; ++band)
                    sf.long_bands[band] = static_cast<uint8_t>(bits.get_bits(slen1));
                first_short = 3;
            }
            for (int band = first_short; band < 12; ++band)
                for (int w = 0; w < 3; ++w)
                    sf.short_bands[band][w] = static_cast<uint8_t>(bits.get_bits(band < 6 ? slen1 : slen2));
            sf.short_bands[12][0] = sf.short_bands[12][1] = sf.short_bands[12][2] = 0;
        } else {
            static constexpr int group_start[5] = {0, 6, 11, 16, 21};
            for (int group = 0; group < 4; ++group) {
                if (granule == 1 && frame_.scfsi[channel][group])
                    continue; // kept from granule 0
                int slen = group < 2 ? slen1 : slen2;
                for (int band = group_start[group]; band < group_start[group + 1]; ++band)
                    sf.long_bands[band] = static_cast<uint8_t>(bits.get_bits(slen));
            }
            sf.long_bands[21] = 0;
        }
        std::memset(sf.long_illegal, 7, sizeof sf.long_illegal);
        std::memset(sf.short_illegal, 7, sizeof sf.short_illegal);
        sf.intensity_scale = 0;
    } else {
        bool intensity_right = frame_.intensity_stereo && channel == 1;
        const lsf_record& record = lsf_scalefactor_record(g.scalefac_compress, intensity_right);
        g.preflag = record.preflag;
        sf.intensity_scale = g.scalefac_compress & 1;
        int kind = g.short_blocks() ? (g.mixed() ? 2 : 1) : 0;
        const uint8_t* counts = tables::lsf_nr_of_sfb[record.block_number][kind];

        // The scalefactor slots in stream order: long bands, then (band,
        // window) pairs of the short bands; a mixed block starts with 6 long
        // bands and continues with short band 3.
        int slot = 0;
        int long_slots = kind == 0 ? 21 : (kind == 2 ? 6 : 0);
        int first_short = kind == 2 ? 3 : 0;
        for (int group = 0; group < 4; ++group) {
            int slen = record.slen[group];
            uint8_t illegal = static_cast<uint8_t>((1 << slen) - 1);
            for (int i = 0; i < counts[group]; ++i, ++slot) {
                uint8_t value = static_cast<uint8_t>(bits.get_bits(slen));
                if (slot < long_slots) {
                    sf.long_bands[slot] = value;
                    sf.long_illegal[slot] = illegal;
                } else {
                    int index = slot - long_slots;
                    int band = first_short + index / 3;
                    if (band < 13) {
                        sf.short_bands[band][index % 3] = value;
                        sf.short_illegal[band] = illegal;
                    }
                }
            }
        }
        // Long band 21 has no scalefactor of its own.
        if (kind == 0)
            sf.long_bands[21] = 0;
        sf.short_bands[12][0] = sf.short_bands[12][1] = sf.short_bands[12][2] = 0;
    }
    g.part2_length = static_cast<int>(bits.position() - start);
}

void decoder::output_silence(const channel_routing& routing)
{
    for (int gr = 0; gr < frame_.granules; ++gr)
        for (int t = 0; t < 18; ++t)
            for (synthesis_channel* out : {routing.left, routing.right})
                if (out)
                    out->silence_row();
    clear();
}

int decoder::decode(frame_reader& reader, const channel_routing& routing)
{
    const frame_header& header = reader.header();
    if (int result = read_side_info(reader.bits(), header); result < 0)
        return result;
    // Granules that claim more bits than the frame's main data holds come
    // from a damaged frame, as do granules that reach back into data that was
    // never read: the frame keeps its time as silence.
    size_t claimed = 0;
    for (int gr = 0; gr < frame_.granules; ++gr)
        for (int ch = 0; ch < frame_.channels; ++ch)
            claimed += static_cast<size_t>(frame_.gr[gr][ch].part2_3_length);
    if (claimed > 8 * reader.main_data_available(frame_.main_data_begin) ||
        !reader.load_main_data(frame_.main_data_begin)) {
        output_silence(routing);
        return 0;
    }

    bit_reader& bits = reader.main_bits();
    const layer3_frame& f = frame_;
    bool stereo = f.channels == 2;
    for (int gr = 0; gr < f.granules; ++gr) {
        for (int ch = 0; ch < f.channels; ++ch) {
            size_t part2_start = bits.position();
            read_scalefactors(bits, gr, ch);
            decode_spectrum(bits, part2_start + f.gr[gr][ch].part2_3_length, f, f.gr[gr][ch], scalefactors_[ch],
                            channels_[ch]);
        }
        if (stereo && (f.ms_stereo || f.intensity_stereo))
            process_stereo(f, f.gr[gr][1], scalefactors_[1], channels_[0], channels_[1]);

        for (int ch = 0; ch < f.channels; ++ch) {
            bool output = routing.mix || !stereo || routing.output(ch);
            if (!output)
                continue;
            antialias(f.gr[gr][ch], f.rate_index, f.lsf, channels_[ch]);
            hybrid_filter(f.gr[gr][ch], f.rate_index, f.lsf, routing.shift, channels_[ch]);
        }

        if (!stereo) {
            routing.left->synthesize_rows(channels_[0].rows, 18);
        } else if (routing.mix) {
            float(*rows)[32] = channels_[0].rows;
            for (int t = 0; t < 18; ++t)
                for (int sb = 0; sb < 32; ++sb)
                    rows[t][sb] = (rows[t][sb] + channels_[1].rows[t][sb]) * 0.5f;
            routing.left->synthesize_rows(rows, 18);
        } else {
            for (int ch = 0; ch < 2; ++ch)
                if (synthesis_channel* out = routing.output(ch))
                    out->synthesize_rows(channels_[ch].rows, 18);
        }
    }
    return 0;
}

} // namespace melvox::mpeg::layer3
