// The synthesis of a run of rows, written once over the vector types of an
// instruction set: the rows of a batch are matrixed side by side (one row per
// vector lane, so each lane computes exactly what the plain code computes for
// its row), then each row is windowed across the values of its columns. The
// instruction sets supply the loads and stores between rows and lanes and the
// rounding of the samples; synthesis.cpp, synthesis_sse2.cpp and
// synthesis_avx2.cpp each instantiate it for their own set.
//
// Everything here has internal linkage: each file compiles its own copy with
// its own instruction set, and none can stand in for another's at link time.
#pragma once

#include "synthesis.h"

namespace melvox::mpeg {

// The window, scaled by 32768 (so sums come out in 16-bit units), by the age
// of a history column (0 newest to 15): sample r (0-15) takes low[age][r],
// sample 32 - r (17-31) takes high[age][r] from the same stored value (its
// mirror, negated for even ages), and sample 16 takes middle[age] (odd ages
// only: the even form's value 16 is zero). Then the factors
// 1/(2 cos((2k + 1) pi / (2N))) of the fast DCT's butterflies, N = 32 to 2.
struct synthesis_tables {
    alignas(32) float low[16][16];
    alignas(32) float high[16][16];
    float middle[16];
    const float* factor[5];

    synthesis_tables();

private:
    float factors_[16 + 8 + 4 + 2 + 1];
};
const synthesis_tables& synthesis_constants();

// Windowing and output of a row when downsampling: only the samples that are
// written are computed, by the plain code whatever the instruction set.
void window_decimated(const synthesis_state& s, int now, int position, synthesis_output& out);

// The synthesis of `count` rows by each instruction set.
void synthesize_plain(synthesis_state& s, synthesis_output& out, float (*rows)[32], int count);
void synthesize_sse2(synthesis_state& s, synthesis_output& out, float (*rows)[32], int count);
void synthesize_avx2(synthesis_state& s, synthesis_output& out, float (*rows)[32], int count);

namespace {

// out[m] = sum over k of in[k] cos(pi m (2k + 1) / (2N)), in Lee's recursive
// form; T is a float or a vector of one float per row.
template <int N, typename T>
inline void dct(const T* in, T* out, const float* const* factor)
{
    if constexpr (N == 1) {
        out[0] = in[0];
    } else {
        T even[N / 2], odd[N / 2], even_out[N / 2], odd_out[N / 2];
        const float* f = factor[0];
        for (int k = 0; k < N / 2; ++k) {
            even[k] = in[k] + in[N - 1 - k];
            odd[k] = (in[k] - in[N - 1 - k]) * f[k];
        }
        dct<N / 2>(even, even_out, factor + 1);
        dct<N / 2>(odd, odd_out, factor + 1);
        for (int m = 0; m < N / 2 - 1; ++m) {
            out[2 * m] = even_out[m];
            out[2 * m + 1] = odd_out[m] + odd_out[m + 1];
        }
        out[N - 2] = even_out[N / 2 - 1];
        out[N - 1] = odd_out[N / 2 - 1];
    }
}

// The window sums of one row, across the values of its columns, column by
// column from the newest: low[r] and high[r] for r = 0 to 15 (high[0] is
// unused), and the middle sample.
template <typename lanes>
inline void window_sums(const synthesis_state& s, int now, int position, float* low_out, float* high_out,
                        float& middle_out)
{
    constexpr int width = sizeof(lanes) / sizeof(float);
    constexpr int count = 16 / width;
    const synthesis_tables& w = synthesis_constants();
    lanes low[count] = {}, high[count] = {};
#pragma GCC unroll 16
    for (int age = 0; age < 16; ++age) {
        const lanes* v = reinterpret_cast<const lanes*>(
            s.history[now][(position + age) & (synthesis_state::columns - 1)]);
        const lanes* wl = reinterpret_cast<const lanes*>(w.low[age]);
        const lanes* wh = reinterpret_cast<const lanes*>(w.high[age]);
        for (int i = 0; i < count; ++i) {
            low[i] += v[i] * wl[i];
            high[i] += v[i] * wh[i];
        }
    }
    float middle = 0.0f;
#pragma GCC unroll 8
    for (int age = 1; age < 16; age += 2)
        middle += s.middle[(position + age) & (synthesis_state::columns - 1)] * w.middle[age];
    for (int i = 0; i < count; ++i) {
        *reinterpret_cast<lanes*>(low_out + width * i) = low[i];
        *reinterpret_cast<lanes*>(high_out + width * i) = high[i];
    }
    middle_out = middle;
}

// isa supplies: `rows` (rows per batch), `batch` (one value of each row),
// `lanes` (the window's vector), load_rows, store_columns, lane and
// write_samples.
template <class isa>
inline void synthesize_with(synthesis_state& s, synthesis_output& out, float (*rows)[32], int count)
{
    using batch = typename isa::batch;
    constexpr int mask = synthesis_state::columns - 1;
    const synthesis_tables& t = synthesis_constants();
    for (int first = 0; first < count; first += isa::rows) {
        int n = count - first < isa::rows ? count - first : isa::rows;

        // Matrixing: with A the DCT of a row, the standard's vector V has
        // V[i] = A[16 + i] (i <= 16), V[32 - i] = -V[i], V[32 + i] = -A[16 - i]
        // and V[48 + i] = V[48 - i]; values 0 to 16 of each form suffice.
        batch in[32], a[32];
        isa::load_rows(rows + first, n, in);
        dct<32>(in, a, t.factor);
        batch even_form[16], odd_form[16];
        for (int r = 0; r < 16; ++r) {
            even_form[r] = a[16 + r];
            odd_form[r] = -a[16 - r];
        }
        alignas(32) float spare[16];
        float* even_columns[isa::rows];
        float* odd_columns[isa::rows];
        for (int j = 0; j < isa::rows; ++j) {
            if (j < n) {
                int now = s.current ^ (j & 1), position = (s.position - j) & mask;
                even_columns[j] = s.history[now][position];
                odd_columns[j] = s.history[now ^ 1][position];
                s.middle[position] = -isa::lane(a[0], j);
            } else {
                even_columns[j] = odd_columns[j] = spare;
            }
        }
        isa::store_columns(even_form, even_columns);
        isa::store_columns(odd_form, odd_columns);

        for (int j = 0; j < n; ++j) {
            int now = s.current ^ (j & 1), position = (s.position - j) & mask;
            if (out.shift) {
                window_decimated(s, now, position, out);
                continue;
            }
            alignas(32) float low[16], high[16];
            float middle;
            window_sums<typename isa::lanes>(s, now, position, low, high, middle);
            isa::write_samples(low, middle, high, out);
        }
        s.position = (s.position - n) & mask;
        s.current ^= n & 1;
    }
}

} // namespace

} // namespace melvox::mpeg
