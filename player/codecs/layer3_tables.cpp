#include "layer3_tables.h"

#include "mpeg_tables.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace melvox::mpeg::layer3 {

namespace {

constexpr double pi = std::numbers::pi;

struct derived_tables {
    float pow43[pow43_size];
    float gains[gain_max_exponent - gain_min_exponent + 1];
    lsf_record lsf[512];
    lsf_record lsf_intensity[256];
    float cs[8], ca[8];
    float windows[4][2][36]; // block types 0-3; type 2 uses the first 12
    alignas(32) float window_lanes[4][36][8];
    intensity_factors mpeg1[7];
    intensity_factors lsf_is[2][32];

    derived_tables()
    {
        for (int v = 0; v < pow43_size; ++v)
            pow43[v] = static_cast<float>(std::pow(static_cast<double>(v), 4.0 / 3.0));
        for (int e = gain_min_exponent; e <= gain_max_exponent; ++e)
            gains[e - gain_min_exponent] = static_cast<float>(std::exp2(e / 4.0));
        makeLsfRecords();
        for (int i = 0; i < 8; ++i) {
            double ci = tables::antialias_ci[i];
            cs[i] = static_cast<float>(1.0 / std::sqrt(1.0 + ci * ci));
            ca[i] = static_cast<float>(ci / std::sqrt(1.0 + ci * ci));
        }
        makeWindows();
        for (int p = 0; p < 7; ++p) {
            // ratio tan(p pi / 12); at p = 6 the ratio is infinite: all left.
            double ratio = std::tan(p * pi / 12.0);
            mpeg1[p] = p == 6 ? intensity_factors{1.0f, 0.0f}
                              : intensity_factors{static_cast<float>(ratio / (1.0 + ratio)),
                                                  static_cast<float>(1.0 / (1.0 + ratio))};
        }
        for (int scale = 0; scale < 2; ++scale)
            for (int p = 0; p < 32; ++p) {
                double base = scale ? std::exp2(-0.5) : std::exp2(-0.25);
                double left = 1.0, right = 1.0;
                if (p % 2 == 1)
                    left = std::pow(base, (p + 1) / 2);
                else if (p > 0)
                    right = std::pow(base, p / 2);
                lsf_is[scale][p] = {static_cast<float>(left), static_cast<float>(right)};
            }
    }

    void makeLsfRecords()
    {
        for (int c = 0; c < 512; ++c) {
            lsf_record& r = lsf[c];
            if (c < 400)
                r = {{static_cast<uint8_t>((c >> 4) / 5), static_cast<uint8_t>((c >> 4) % 5),
                      static_cast<uint8_t>((c % 16) >> 2), static_cast<uint8_t>(c % 4)},
                     0,
                     0};
            else if (c < 500)
                r = {{static_cast<uint8_t>(((c - 400) >> 2) / 5), static_cast<uint8_t>(((c - 400) >> 2) % 5),
                      static_cast<uint8_t>((c - 400) % 4), 0},
                     0,
                     1};
            else
                r = {{static_cast<uint8_t>((c - 500) / 3), static_cast<uint8_t>((c - 500) % 3), 0, 0}, 1, 2};
        }
        for (int c = 0; c < 256; ++c) {
            lsf_record& r = lsf_intensity[c];
            if (c < 180)
                r = {{static_cast<uint8_t>(c / 36), static_cast<uint8_t>((c % 36) / 6),
                      static_cast<uint8_t>((c % 36) % 6), 0},
                     0,
                     3};
            else if (c < 244)
                r = {{static_cast<uint8_t>(((c - 180) % 64) >> 4), static_cast<uint8_t>(((c - 180) % 16) >> 2),
                      static_cast<uint8_t>((c - 180) % 4), 0},
                     0,
                     4};
            else
                r = {{static_cast<uint8_t>((c - 244) / 3), static_cast<uint8_t>((c - 244) % 3), 0, 0}, 0, 5};
        }
    }

    void makeWindows()
    {
        double w[4][36] = {};
        for (int i = 0; i < 36; ++i)
            w[0][i] = std::sin(pi / 36 * (i + 0.5));
        for (int i = 0; i < 18; ++i)
            w[1][i] = std::sin(pi / 36 * (i + 0.5));
        for (int i = 18; i < 24; ++i)
            w[1][i] = 1.0;
        for (int i = 24; i < 30; ++i)
            w[1][i] = std::sin(pi / 12 * (i - 18 + 0.5));
        for (int i = 6; i < 12; ++i)
            w[3][i] = std::sin(pi / 12 * (i - 6 + 0.5));
        for (int i = 12; i < 18; ++i)
            w[3][i] = 1.0;
        for (int i = 18; i < 36; ++i)
            w[3][i] = std::sin(pi / 36 * (i + 0.5));
        for (int i = 0; i < 12; ++i)
            w[2][i] = std::sin(pi / 12 * (i + 0.5));
        for (int type = 0; type < 4; ++type)
            for (int i = 0; i < 36; ++i) {
                windows[type][0][i] = static_cast<float>(w[type][i]);
                windows[type][1][i] = static_cast<float>(i % 2 ? -w[type][i] : w[type][i]);
            }
        for (int type = 0; type < 4; ++type)
            for (int i = 0; i < 36; ++i)
                for (int j = 0; j < 8; ++j)
                    window_lanes[type][i][j] = windows[type][j & 1][i];
    }
};

const derived_tables& derived()
{
    static const derived_tables tables;
    return tables;
}

struct huffman_lookups {
    huffman_lookup by_tree[34];
    const huffman_lookup* by_table[34];

    huffman_lookups()
    {
        for (int t = 0; t < 34; ++t) {
            const int16_t* tree = tables::huffman_tables[t].tree;
            int first = 0;
            while (tables::huffman_tables[first].tree != tree)
                ++first;
            if (first == t)
                build(tree, by_tree[t]);
            by_table[t] = &by_tree[first];
        }
    }

    static void build(const int16_t* tree, huffman_lookup& lookup)
    {
        for (int prefix = 0; prefix < 256; ++prefix) {
            int index = 0, used = 0;
            while (tree[index] < 0 && used < 8) {
                bool one = prefix >> (7 - used) & 1;
                index += one ? 1 - tree[index] : 1;
                ++used;
            }
            lookup.first[prefix] = tree[index] >= 0 ? huffman_lookup::entry{tree[index], static_cast<uint8_t>(used)}
                                                    : huffman_lookup::entry{static_cast<int16_t>(index), 0};
        }
    }
};

} // namespace

const huffman_lookup& huffman_lookup_for(int table)
{
    static const huffman_lookups lookups;
    return *lookups.by_table[table];
}

const float* const pow43 = derived().pow43;
const float* const antialias_cs = derived().cs;
const float* const antialias_ca = derived().ca;

float gain(int exponent)
{
    exponent = std::clamp(exponent, gain_min_exponent, gain_max_exponent);
    return derived().gains[exponent - gain_min_exponent];
}

const lsf_record& lsf_scalefactor_record(int scalefac_compress, bool intensity_right)
{
    if (intensity_right)
        return derived().lsf_intensity[(scalefac_compress >> 1) & 255];
    return derived().lsf[scalefac_compress & 511];
}

const float* long_window(int block_type, int odd)
{
    return derived().windows[block_type & 3][odd & 1];
}

const float* long_window_lanes(int block_type)
{
    return derived().window_lanes[block_type & 3][0];
}

const float* short_window(int odd)
{
    return derived().windows[2][odd & 1];
}

const intensity_factors& mpeg1_intensity(int is_pos)
{
    return derived().mpeg1[std::clamp(is_pos, 0, 6)];
}

const intensity_factors& lsf_intensity(int intensity_scale, int is_pos)
{
    return derived().lsf_is[intensity_scale & 1][is_pos & 31];
}

} // namespace melvox::mpeg::layer3
