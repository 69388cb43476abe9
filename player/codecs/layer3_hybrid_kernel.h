// The 36-point inverse MDCT and the long-block stage of the hybrid filter,
// written once over a float or a vector of one float per subband: side by
// side, each lane computes exactly what the plain code computes for its
// subband. layer3_hybrid.cpp uses it with floats, layer3_hybrid_sse2.cpp and
// layer3_hybrid_avx2.cpp with their vectors. Internal linkage, so that each
// file keeps its own copy compiled for its own instruction set.
#pragma once

namespace melvox::mpeg::layer3 {

struct imdct_tables {
    float dct9[4][9];    // cos(pi m (2n + 1) / 18), n < 4
    float odd_scale[9];  // 1 / (2 cos(pi (2n + 1) / 36))
    float out_scale[18]; // 1 / (2 cos(pi (2n + 1) / 72))
    float short_cos[12][6];

    imdct_tables();
};
const imdct_tables& imdct_constants();

// The long blocks of subbands sb to sb + 3 (SSE2) or sb + 7 (AVX2), all of one
// block type: `lines` is the spectrum from subband sb on, `window` the block
// type's window with the coefficients of even and odd subbands alternating
// ([36][8], layer3_tables.h), `overlap` and `rows` the [18][32] arrays from
// column sb on.
void long_blocks_sse2(const float* lines, const float* window, float* overlap, float* rows);
void long_blocks_avx2(const float* lines, const float* window, float* overlap, float* rows);

namespace {

// out[n] = sum over m < 9 of in[m] cos(pi m (2n + 1) / 18): outputs n and
// 8 - n share their products (the odd terms change sign), and output 4 needs none.
template <typename T>
inline void dct9_of(const T* in, T* out)
{
    const imdct_tables& t = imdct_constants();
    for (int n = 0; n < 4; ++n) {
        const float* c = t.dct9[n];
        T even = in[0] + in[2] * c[2] + in[4] * c[4] + in[6] * c[6] + in[8] * c[8];
        T odd = in[1] * c[1] + in[3] * c[3] + in[5] * c[5] + in[7] * c[7];
        out[n] = even + odd;
        out[8 - n] = even - odd;
    }
    out[4] = in[0] - in[2] + in[4] - in[6] + in[8];
}

template <typename T>
inline void imdct36_of(const T* in, T* out)
{
    // x[i] = sum_k X[k] cos(pi/72 (2i + 19)(2k + 1)) through the 18-point
    // DCT-IV Y: x[i] = Y[i + 9], -Y[26 - i], -Y[i - 27] by thirds. Y comes
    // from the DCT-III of U[j] = X[j] + X[j - 1], whose even and odd halves
    // are two 9-point transforms.
    const imdct_tables& t = imdct_constants();
    T u[18];
    u[0] = in[0];
    for (int j = 1; j < 18; ++j)
        u[j] = in[j] + in[j - 1];
    T p[9], q[9];
    for (int m = 0; m < 9; ++m) {
        p[m] = u[2 * m];
        q[m] = m > 0 ? u[2 * m + 1] + u[2 * m - 1] : u[1];
    }
    T even_part[9], odd_part[9];
    dct9_of(p, even_part);
    dct9_of(q, odd_part);
    T y[18];
    for (int n = 0; n < 9; ++n) {
        T even = even_part[n];
        T odd = odd_part[n] * t.odd_scale[n];
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

// isa supplies `vector`, `width`, load_lines (value k of each subband's 18
// lines), load and store.
template <class isa>
inline void long_blocks_with(const float* lines, const float* window, float* overlap, float* rows)
{
    using vector = typename isa::vector;
    vector in[18], x[36];
    isa::load_lines(lines, in);
    imdct36_of(in, x);
    for (int t = 0; t < 18; ++t) {
        isa::store(rows + 32 * t, x[t] * isa::load(window + 8 * t) + isa::load(overlap + 32 * t));
        isa::store(overlap + 32 * t, x[t + 18] * isa::load(window + 8 * (t + 18)));
    }
}

} // namespace

} // namespace melvox::mpeg::layer3
