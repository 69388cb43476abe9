#include "layer3_builder.h"

#include "layer3_tables.h"
#include "mpeg_header.h"
#include "mpeg_tables.h"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>

namespace mpeg_test {

using namespace melvox::mpeg;

void bit_writer::put(uint32_t value, int bits)
{
    for (int i = bits - 1; i >= 0; --i) {
        if (bits_ % 8 == 0)
            bytes_.push_back(0);
        if (value >> i & 1)
            bytes_.back() |= static_cast<uint8_t>(0x80 >> (bits_ % 8));
        ++bits_;
    }
}

void bit_writer::append(const bit_writer& other, size_t bits)
{
    for (size_t i = 0; i < bits && i < other.bits_; ++i)
        put(other.bytes_[i / 8] >> (7 - i % 8) & 1, 1);
}

namespace {

// The code of every leaf of a tree, found by walking it.
void collect_codes(const int16_t* tree, int index, const std::string& path, std::map<int, std::string>& codes)
{
    if (tree[index] >= 0) {
        codes[tree[index]] = path;
        return;
    }
    collect_codes(tree, index + 1, path + "0", codes);
    collect_codes(tree, index + 1 - tree[index], path + "1", codes);
}

const std::map<int, std::string>& table1_codes()
{
    static const std::map<int, std::string> codes = [] {
        std::map<int, std::string> c;
        collect_codes(tables::huffman_tables[1].tree, 0, "", c);
        return c;
    }();
    return codes;
}

// Scalefactors of a channel in stream order with their widths.
void write_scalefactors(bit_writer& out, const crafted_frame& f, const crafted_channel& c, bool intensity_right)
{
    if (f.id == 1) {
        int slen1 = tables::slen_mpeg1[0][c.scalefac_compress], slen2 = tables::slen_mpeg1[1][c.scalefac_compress];
        if (c.short_blocks) {
            if (c.mixed)
                for (int band = 0; band < 8; ++band)
                    out.put(static_cast<uint32_t>(c.long_scalefactors[band]), slen1);
            for (int band = c.mixed ? 3 : 0; band < 12; ++band)
                for (int w = 0; w < 3; ++w)
                    out.put(static_cast<uint32_t>(c.short_scalefactors[band][w]), band < 6 ? slen1 : slen2);
        } else {
            for (int band = 0; band < 21; ++band)
                out.put(static_cast<uint32_t>(c.long_scalefactors[band]), band < 11 ? slen1 : slen2);
        }
        return;
    }
    const layer3::lsf_record& r = layer3::lsf_scalefactor_record(c.scalefac_compress, intensity_right);
    int kind = c.short_blocks ? (c.mixed ? 2 : 1) : 0;
    const uint8_t* counts = tables::lsf_nr_of_sfb[r.block_number][kind];
    int slot = 0;
    int long_slots = kind == 0 ? 21 : kind == 2 ? 6 : 0;
    int first_short = kind == 2 ? 3 : 0;
    for (int group = 0; group < 4; ++group)
        for (int i = 0; i < counts[group]; ++i, ++slot) {
            int value = slot < long_slots
                            ? c.long_scalefactors[slot]
                            : c.short_scalefactors[first_short + (slot - long_slots) / 3][(slot - long_slots) % 3];
            out.put(static_cast<uint32_t>(value), r.slen[group]);
        }
}

void write_values(bit_writer& out, const crafted_channel& c, int big_values)
{
    const auto& codes = table1_codes();
    for (int pair = 0; pair < big_values; ++pair) {
        int x = c.values[2 * pair], y = c.values[2 * pair + 1];
        if (x < -1 || x > 1 || y < -1 || y > 1)
            throw std::invalid_argument("crafted values must be -1, 0 or 1");
        for (char bit : codes.at(std::abs(x) << 4 | std::abs(y)))
            out.put(bit == '1', 1);
        if (x)
            out.put(x < 0, 1);
        if (y)
            out.put(y < 0, 1);
    }
}

} // namespace

std::vector<uint8_t> build_layer3_frame(const crafted_frame& f)
{
    bool lsf = f.id != 1;
    int granules = lsf ? 1 : 2;
    int channels = f.mode == 3 ? 1 : 2;
    bool intensity = f.mode == 1 && (f.mode_extension & 1);

    // Main data first: its lengths go into the side information.
    bit_writer main;
    int part2_3[2][2] = {}, big_values[2][2] = {};
    for (int gr = 0; gr < granules; ++gr)
        for (int ch = 0; ch < channels; ++ch) {
            const crafted_channel& c = f.channels[gr][ch];
            int last = 575;
            while (last >= 0 && c.values[last] == 0)
                --last;
            big_values[gr][ch] = (last + 2) / 2;
            bit_writer data;
            write_scalefactors(data, f, c, intensity && ch == 1);
            write_values(data, c, big_values[gr][ch]);
            part2_3[gr][ch] = static_cast<int>(data.size_bits());
            size_t kept = c.part2_3_length >= 0 ? std::min<size_t>(data.size_bits(), c.part2_3_length)
                                                : data.size_bits();
            main.append(data, kept);
        }

    uint32_t bit20 = f.id == 2 ? 0 : 1, bit19 = f.id == 1 ? 1 : 0;
    uint32_t word = 0xFFE00000u | bit20 << 20 | bit19 << 19 | 1u << 17 | 1u << 16 | uint32_t(f.bitrate_index) << 12 |
                    uint32_t(f.sampling_frequency) << 10 | uint32_t(f.mode) << 6 | uint32_t(f.mode_extension) << 4;
    bit_writer out;
    out.put(word, 32);
    out.put(static_cast<uint32_t>(f.main_data_begin), lsf ? 8 : 9);
    out.put(0, lsf ? (channels == 1 ? 1 : 2) : (channels == 1 ? 5 : 3));
    if (!lsf)
        out.put(0, 4 * channels); // no scfsi
    for (int gr = 0; gr < granules; ++gr)
        for (int ch = 0; ch < channels; ++ch) {
            const crafted_channel& c = f.channels[gr][ch];
            out.put(static_cast<uint32_t>(c.part2_3_length >= 0 ? c.part2_3_length : part2_3[gr][ch]), 12);
            out.put(static_cast<uint32_t>(c.big_values >= 0 ? c.big_values : big_values[gr][ch]), 9);
            out.put(static_cast<uint32_t>(c.global_gain), 8);
            out.put(static_cast<uint32_t>(c.scalefac_compress), lsf ? 9 : 4);
            bool switching = c.short_blocks || c.block_type != 0 || c.zero_block_type_with_switching;
            out.put(switching, 1);
            if (switching) {
                out.put(c.zero_block_type_with_switching ? 0
                        : c.short_blocks                 ? 2
                                                         : static_cast<uint32_t>(c.block_type),
                        2);
                out.put(c.mixed, 1);
                out.put(1, 5); // table 1 in both regions
                out.put(1, 5);
                for (int w = 0; w < 3; ++w)
                    out.put(static_cast<uint32_t>(c.subblock_gain[w]), 3);
            } else {
                for (int region = 0; region < 3; ++region)
                    out.put(1, 5);
                out.put(7, 4); // region0_count
                out.put(7, 3); // region1_count
            }
            if (!lsf)
                out.put(static_cast<uint32_t>(c.preflag), 1);
            out.put(static_cast<uint32_t>(c.scalefac_scale), 1);
            out.put(0, 1); // count1 table A (no count1 data)
        }

    frame_header header = parse_header(word);
    std::vector<uint8_t> bytes = out.bytes();
    bytes.insert(bytes.end(), main.bytes().begin(), main.bytes().end());
    size_t length = static_cast<size_t>(frame_length(header));
    if (bytes.size() > length)
        throw std::length_error("crafted main data does not fit the frame");
    bytes.resize(length, 0);
    return bytes;
}

} // namespace mpeg_test
