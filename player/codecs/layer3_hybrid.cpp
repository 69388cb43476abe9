// The hybrid filter of Layer III: antialias butterflies, then per subband the
// inverse MDCT (36 points, or three of 12 for short blocks), windowing and
// overlap-add, giving 18 time rows of 32 subband samples.
#include "layer3.h"
#include "layer3_tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace melvox::mpeg::layer3 {

namespace {

constexpr double pi = std::numbers::pi;

struct imdct_tables {
    float dct9[4][9];    // cos(pi m (2n + 1) / 18), n < 4
    float odd_scale[9];  // 1 / (2 cos(pi (2n + 1) / 36))
    float out_scale[18]; // 1 / (2 cos(pi (2n + 1) / 72))
    float short_cos[12][6];

    imdct_tables()
    {
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
};

const imdct_tables& imdct()
{
    static const imdct_tables tables;
    return tables;
}

// The long transform of one subband: windowed, overlapped, written as column sb.
void long_block(const float* in, const float* window, float* overlap, float (*rows)[32], int sb)
{
    float x[36];
    imdct36(in, x);
    for (int t = 0; t < 18; ++t) {
        rows[t][sb] = x[t] * window[t] + overlap[t];
        overlap[t] = x[t + 18] * window[t + 18];
    }
}

void short_block(const float* in, const float* window, float* overlap, float (*rows)[32], int sb)
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
        rows[t][sb] = z[t] + overlap[t];
        overlap[t] = z[t + 18];
    }
}

// out[n] = sum over m < 9 of in[m] cos(pi m (2n + 1) / 18): outputs n and
// 8 - n share their products (the odd terms change sign), and output 4 needs none.
void dct9(const float* in, float* out)
{
    const imdct_tables& t = imdct();
    for (int n = 0; n < 4; ++n) {
        const float* c = t.dct9[n];
        float even = in[0] + in[2] * c[2] + in[4] * c[4] + in[6] * c[6] + in[8] * c[8];
        float odd = in[1] * c[1] + in[3] * c[3] + in[5] * c[5] + in[7] * c[7];
        out[n] = even + odd;
        out[8 - n] = even - odd;
    }
    out[4] = in[0] - in[2] + in[4] - in[6] + in[8];
}

} // namespace

void imdct36(const float* in, float* out)
{
    // x[i] = sum_k X[k] cos(pi/72 (2i + 19)(2k + 1)) through the 18-point
    // DCT-IV Y: x[i] = Y[i + 9], -Y[26 - i], -Y[i - 27] by thirds. Y comes
    // from the DCT-III of U[j] = X[j] + X[j - 1], whose even and odd halves
    // are two 9-point transforms.
    const imdct_tables& t = imdct();
    float u[18];
    u[0] = in[0];
    for (int j = 1; j < 18; ++j)
        u[j] = in[j] + in[j - 1];
    float p[9], q[9];
    for (int m = 0; m < 9; ++m) {
        p[m] = u[2 * m];
        q[m] = u[2 * m + 1] + (m > 0 ? u[2 * m - 1] : 0.0f);
    }
    float even_part[9], odd_part[9];
    dct9(p, even_part);
    dct9(q, odd_part);
    float y[18];
    for (int n = 0; n < 9; ++n) {
        float even = even_part[n];
        float odd = odd_part[n] * t.odd_scale[n];
        y[n] = (even + odd) * t.out_scale[n];
        y[17 - n] = (even - odd) * t.out_scale[17 - n];
    }
    for (int i = 0; i < 9; ++i)
        out[i] = y[i + 9];
    for (int i = 9; i < 27; ++i)
        out[i] = -y[26 - i];
    for (int i = 27; i < 36; ++i)
        out[i] = -y[i - 27];
}

void imdct12(const float* in, float* out)
{
    const imdct_tables& t = imdct();
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
    float* xr = channel.spectrum;
    for (int sb = 1; sb <= limit; ++sb)
        for (int i = 0; i < 8; ++i) {
            float& upper = xr[18 * sb - 1 - i];
            float& lower = xr[18 * sb + i];
            float bu = upper, bd = lower;
            upper = bu * antialias_cs[i] - bd * antialias_ca[i];
            lower = bd * antialias_cs[i] + bu * antialias_ca[i];
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
    for (int sb = 0; sb < limit; ++sb) {
        const float* in = channel.spectrum + 18 * sb;
        if (sb < long_subbands)
            long_block(in, long_window(sb < normal_subbands ? 0 : long_type, sb & 1), channel.overlap[sb], channel.rows,
                       sb);
        else
            short_block(in, short_window(sb & 1), channel.overlap[sb], channel.rows, sb);
    }
    // Subbands without data only release what the previous granule left.
    for (int sb = limit; sb < 32; ++sb) {
        for (int t = 0; t < 18; ++t)
            channel.rows[t][sb] = channel.overlap[sb][t];
        std::memset(channel.overlap[sb], 0, sizeof channel.overlap[sb]);
    }
}

} // namespace melvox::mpeg::layer3
