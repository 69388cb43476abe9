// Huffman decoding of a granule channel with the requantisation folded in:
// each line costs one |v|^(4/3) look-up and one multiplication by the gain
// of its band, looked up once per band.
#include "layer3.h"
#include "layer3_tables.h"
#include "mpeg_tables.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace melvox::mpeg::layer3 {

namespace {

// A run of lines in stream order that shares one gain: a long band, or one
// window of a short band (stored every third line, already reordered).
struct segment {
    int end;  // stream-order line after the run
    int dest; // spectrum index of its first line
    int step; // 1 for long bands, 3 for short windows
    float gain;
};

int build_segments(const layer3_frame& f, const granule_channel& g, const scalefactors& sf, segment* segments)
{
    // The 1/sqrt(2) of M/S stereo is two quarter-power steps; with intensity
    // stereo as well it is applied band by band instead (process_stereo).
    bool fold_ms = f.ms_stereo && !f.intensity_stereo && f.channels == 2;
    int base = g.global_gain - 210 - (fold_ms ? 2 : 0);
    int shift = g.scalefac_scale + 1;
    const uint16_t* long_bounds = tables::sfb_long_bounds[f.rate_index];
    const uint16_t* short_bounds = tables::sfb_short_bounds[f.rate_index];

    int count = 0;
    int long_bands = g.short_blocks() ? (g.mixed() ? (f.lsf ? 6 : 8) : 0) : 22;
    for (int band = 0; band < long_bands; ++band) {
        int scale = sf.long_bands[band] + (g.preflag ? tables::pretab[band] : 0);
        segments[count++] = {long_bounds[band + 1], long_bounds[band], 1, gain(base - (scale << shift))};
    }
    if (g.short_blocks()) {
        int line = long_bands ? long_bounds[long_bands] : 0;
        for (int band = g.mixed() ? 3 : 0; band < 13; ++band) {
            int width = short_bounds[band + 1] - short_bounds[band];
            for (int w = 0; w < 3; ++w) {
                line += width;
                int exponent = base - 8 * g.subblock_gain[w] - (sf.short_bands[band][w] << shift);
                segments[count++] = {line, 3 * short_bounds[band] + w, 3, gain(exponent)};
            }
        }
    }
    segments[count] = {1 << 20, 0, 1, 0.0f}; // sentinel: never entered while lines remain
    return count;
}

// The next bits of the stream in a 64-bit window (at least 57 valid), taken
// from the left; enough for one pair with its linbits and signs (47 bits at
// most), or for five quadruples (10 bits at most each).
struct bit_window {
    uint64_t word;
    int used = 0;

    // Moves the reader past the bits taken and reloads once fewer than
    // `needed` valid bits are left.
    void refill(bit_reader& bits, int needed)
    {
        if (used > 57 - needed) {
            bits.skip(static_cast<size_t>(used));
            word = bits.peek64();
            used = 0;
        }
    }

    uint32_t take(int n)
    {
        uint32_t value = static_cast<uint32_t>((word << used) >> (64 - n));
        used += n;
        return value;
    }

    // A sign bit, read only where the value is nonzero; without branches,
    // since signs are as good as random.
    uint32_t sign_if(uint32_t nonzero)
    {
        uint32_t sign = static_cast<uint32_t>((word << used) >> 63) & nonzero;
        used += static_cast<int>(nonzero);
        return sign << 31;
    }
};

// Walks a code tree to its leaf: the first 8 bits through the look-up, the
// rest (codes up to 19 bits) bit by bit.
inline int decode_symbol(bit_window& window, const int16_t* tree, const huffman_lookup& lookup)
{
    if (tree[0] >= 0)
        return tree[0];
    uint64_t word = window.word << window.used;
    const huffman_lookup::entry& e = lookup.first[word >> 56];
    if (e.bits) {
        window.used += e.bits;
        return e.value;
    }
    int index = e.value;
    word <<= 8;
    window.used += 8;
    while (tree[index] < 0) {
        index += (word >> 63) ? 1 - tree[index] : 1;
        word <<= 1;
        ++window.used;
    }
    return tree[index];
}

inline float with_sign(float magnitude, uint32_t sign)
{
    return std::bit_cast<float>(std::bit_cast<uint32_t>(magnitude) ^ sign);
}

// The value where nonzero is 1, zero where it is 0, without a branch.
inline float kept_if(float value, uint32_t nonzero)
{
    return std::bit_cast<float>(std::bit_cast<uint32_t>(value) & (0u - nonzero));
}

inline float requantize(bit_window& window, const float* pow43, int v, int linbits)
{
    if (v == 15 && linbits)
        v += static_cast<int>(window.take(linbits));
    return with_sign(pow43[v], window.sign_if(v != 0));
}

} // namespace

int zero_subbands(const float* spectrum, int end)
{
    int last = end - 1;
    while (last >= 0 && spectrum[last] == 0.0f)
        --last;
    return (575 - last) / 18;
}

void decode_spectrum(bit_reader& bits, size_t part3_end, const layer3_frame& f, const granule_channel& g,
                     const scalefactors& sf, hybrid_channel& out)
{
    float* xr = out.spectrum;
    std::memset(xr, 0, sizeof out.spectrum);
    const float* pow43 = pow43_table();
    segment segments[48];
    build_segments(f, g, sf, segments);

    int big_end = std::min(g.big_values * 2, 576);
    int region1 = std::min(g.region1_start, big_end);
    int region2 = std::clamp(g.region2_start, region1, big_end);
    const int region_end[3] = {region1, region2, big_end};

    int line = 0;
    const segment* seg = segments;
    bit_window window{bits.peek64()};
    int dest = seg->dest;
    for (int region = 0; region < 3; ++region) {
        int table_number = g.table_select[region];
        const tables::huffman_table& table = tables::huffman_tables[table_number];
        const huffman_lookup& lookup = huffman_lookup_for(table_number);
        // A pair takes at most a 19-bit code, two values' linbits and two signs.
        const int pair_bits = 21 + 2 * table.linbits;
        while (line < region_end[region]) {
            while (line >= seg->end)
                dest = (++seg)->dest;
            window.refill(bits, pair_bits);
            int leaf = decode_symbol(window, table.tree, lookup);
            xr[dest] = requantize(window, pow43, leaf >> 4, table.linbits) * seg->gain;
            xr[dest + seg->step] = requantize(window, pow43, leaf & 15, table.linbits) * seg->gain;
            dest += 2 * seg->step;
            line += 2;
        }
    }
    bits.skip(static_cast<size_t>(window.used));
    window = {bits.peek64()};
    // Big values that run past the granule's bits are damaged data: the
    // granule channel is silent rather than noise.
    if (bits.position() > part3_end) {
        std::memset(xr, 0, sizeof out.spectrum);
        bits.set_position(part3_end);
        out.zero_subbands = 32;
        return;
    }

    // The count1 region: quadruples of -1, 0, 1 while bits and lines remain.
    int quad_table = 32 + g.count1table_select;
    const int16_t* quad_tree = tables::huffman_tables[quad_table].tree;
    const huffman_lookup& quad_lookup = huffman_lookup_for(quad_table);
    int last_quad[4];
    bool any_quad = false;
    while (line + 4 <= 576 && bits.position() + static_cast<size_t>(window.used) < part3_end) {
        window.refill(bits, 10);
        int v = decode_symbol(window, quad_tree, quad_lookup);
        while (line >= seg->end)
            dest = (++seg)->dest;
        const int step = seg->step;
        if (line + 4 <= seg->end) {
            // The whole quadruple in one run of lines, written without
            // branches: which of its values are nonzero is as good as random.
            const float run_gain = seg->gain;
            for (int k = 0; k < 4; ++k) {
                uint32_t nonzero = static_cast<uint32_t>(v >> (3 - k)) & 1;
                last_quad[k] = dest + k * step;
                xr[dest + k * step] = with_sign(kept_if(run_gain, nonzero), window.sign_if(nonzero));
            }
            dest += 4 * step;
            line += 4;
        } else {
            for (int k = 0; k < 4; ++k, ++line) {
                while (line >= seg->end)
                    dest = (++seg)->dest;
                uint32_t nonzero = static_cast<uint32_t>(v >> (3 - k)) & 1;
                xr[dest] = with_sign(kept_if(seg->gain, nonzero), window.sign_if(nonzero));
                last_quad[k] = dest;
                dest += seg->step;
            }
        }
        any_quad = true;
    }
    bits.skip(static_cast<size_t>(window.used));
    // A quadruple that ran past the granule's bits belongs to no one.
    if (any_quad && bits.position() > part3_end)
        for (int index : last_quad)
            xr[index] = 0.0f;

    bits.set_position(part3_end);
    // Long blocks keep stream order, so nothing lies beyond the last line read.
    out.zero_subbands = g.short_blocks() ? zero_subbands(xr) : zero_subbands(xr, line);
}

} // namespace melvox::mpeg::layer3
