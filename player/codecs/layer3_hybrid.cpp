// The hybrid filter of Layer III: antialias butterflies, then per subband the
// inverse MDCT (36 points, or three of 12 for short blocks), windowing and
// overlap-add, giving 18 time rows of 32 subband samples.
#include "layer3.h"
#include "layer3_hybrid_kernel.h"
#include "layer3_tables.h"
#include "instruction_set.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace melvox::mpeg::layer3 {

namespace {

// The long transform of one subband: windowed, overlapped, written as column sb.
void long_block(const float* in, const float* window, float (*overlap)[32], float (*rows)[32], int sb)
{
    float x[36];
    imdct36_of(in, x);
    for (int t = 0; t < 18; ++t) {
        rows[t][sb] = x[t] * window[t] + overlap[t][sb];
        overlap[t][sb] = x[t + 18] * window[t + 18];
    }
}

void short_block(const float* in, const float* window, float (*overlap)[32], float (*rows)[32], int sb)
{
    // The three windows overlap one another at 6 + 6w within the 36 samples.
    float z[36] = {};
    for (int w = 0; w < 3; ++w) {
        float lines[6], y[12];
        for (int k = 0; k < 6; ++k)
            lines[k] = in[3 * k + w];
        imdct12(lines, y);
        for (int i = 0; i < 12; ++i)
            z[6 + 6 * w + i] += y[i] * window[i];
    }
    for (int t = 0; t < 18; ++t) {
        rows[t][sb] = z[t] + overlap[t][sb];
        overlap[t][sb] = z[t + 18];
    }
}

} // namespace

imdct_tables::imdct_tables()
{
    constexpr double pi = std::numbers::pi;
    for (int n = 0; n < 4; ++n)
        for (int m = 0; m < 9; ++m)
            dct9[n][m] = static_cast<float>(std::cos(pi * m * (2 * n + 1) / 18));
    for (int n = 0; n < 9; ++n)
        odd_scale[n] = static_cast<float>(0.5 / std::cos(pi * (2 * n + 1) / 36));
    for (int n = 0; n < 18; ++n)
        out_scale[n] = static_cast<float>(0.5 / std::cos(pi * (2 * n + 1) / 72));
    for (int i = 0; i < 12; ++i)
        for (int k = 0; k < 6; ++k)
            short_cos[i][k] = static_cast<float>(std::cos(pi / 24 * (2 * i + 1 + 6) * (2 * k + 1)));
}

const imdct_tables& imdct_constants()
{
    static const imdct_tables tables;
    return tables;
}

void imdct36(const float* in, float* out)
{
    imdct36_of(in, out);
}

void imdct12(const float* in, float* out)
{
    const imdct_tables& t = imdct_constants();
    for (int i = 0; i < 12; ++i) {
        float sum = 0.0f;
        for (int k = 0; k < 6; ++k)
            sum += in[k] * t.short_cos[i][k];
        out[i] = sum;
    }
}

void antialias(const granule_channel& g, int rate_index, bool lsf, hybrid_channel& channel)
{
    if (g.short_blocks() && !g.mixed())
        return;
    // Boundaries up to the one above the highest subband with data; a mixed
    // block only between the subbands of its long part.
    int limit = g.mixed() ? mixed_long_lines(rate_index, lsf) / 18 - 1 : std::min(32 - channel.zero_subbands, 31);
    // Four butterflies at a time: the lines below a boundary are taken in
    // reverse order, so that line 18 sb - 1 - i meets line 18 sb + i.
    using quad = float __attribute__((vector_size(16)));
    quad cs[2], ca[2];
    std::memcpy(cs, antialias_cs, sizeof cs);
    std::memcpy(ca, antialias_ca, sizeof ca);
    float* xr = channel.spectrum;
    for (int sb = 1; sb <= limit; ++sb) {
        quad below[2], above[2];
        std::memcpy(below, xr + 18 * sb - 8, sizeof below);
        std::memcpy(above, xr + 18 * sb, sizeof above);
        quad bu[2] = {__builtin_shufflevector(below[1], below[1], 3, 2, 1, 0),
                      __builtin_shufflevector(below[0], below[0], 3, 2, 1, 0)};
        for (int h = 0; h < 2; ++h) {
            quad bd = above[h];
            quad upper = bu[h] * cs[h] - bd * ca[h];
            above[h] = bd * cs[h] + bu[h] * ca[h];
            bu[h] = upper;
        }
        below[0] = __builtin_shufflevector(bu[1], bu[1], 3, 2, 1, 0);
        below[1] = __builtin_shufflevector(bu[0], bu[0], 3, 2, 1, 0);
        std::memcpy(xr + 18 * sb - 8, below, sizeof below);
        std::memcpy(xr + 18 * sb, above, sizeof above);
    }
}

void hybrid_filter(const granule_channel& g, int rate_index, bool lsf, int shift, hybrid_channel& channel)
{
    int limit = channel.zero_subbands == 0 ? 32 : 33 - channel.zero_subbands;
    limit = std::min(limit, 32 >> shift);
    int long_subbands = g.short_blocks() ? (g.mixed() ? mixed_long_lines(rate_index, lsf) / 18 : 0) : 32;
    int long_type = g.short_blocks() ? 0 : g.block_type;
    // With the mixed flag the two lowest subbands take the normal window
    // whatever the block type: a start or stop block that is mixed changes
    // its window only from subband 2 on.
    int normal_subbands = g.window_switching_flag && g.mixed_block_flag ? 2 : 0;
    // Groups of subbands whose long blocks share one window go through the
    // vector units side by side; subbands from `limit` up to the downsampled
    // width have no data and may ride along (they give the same rows).
    int group = 1;
    void (*long_blocks)(const float*, const float*, float*, float*) = nullptr;
#if defined(MELVOX_MPEG_X86)
    if (active_instruction_set() == instruction_set::avx2)
        group = 8, long_blocks = long_blocks_avx2;
    else if (active_instruction_set() == instruction_set::sse2)
        group = 4, long_blocks = long_blocks_sse2;
#endif
    const int width = 32 >> shift;
    int sb = 0;
    while (sb < limit) {
        const float* in = channel.spectrum + 18 * sb;
        if (long_blocks && sb % group == 0 && sb >= normal_subbands && sb + group <= long_subbands &&
            sb + group <= width) {
            long_blocks(in, long_window_lanes(long_type), &channel.overlap[0][sb], &channel.rows[0][sb]);
            sb += group;
            continue;
        }
        if (sb < long_subbands)
            long_block(in, long_window(sb < normal_subbands ? 0 : long_type, sb & 1), channel.overlap, channel.rows,
                       sb);
        else
            short_block(in, short_window(sb & 1), channel.overlap, channel.rows, sb);
        ++sb;
    }
    // Subbands without data only release what the previous granule left.
    for (int t = 0; t < 18; ++t)
        for (int released = sb; released < 32; ++released) {
            channel.rows[t][released] = channel.overlap[t][released];
            channel.overlap[t][released] = 0.0f;
        }
}

} // namespace melvox::mpeg::layer3
