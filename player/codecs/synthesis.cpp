#include "synthesis.h"

#include "mpeg_tables.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace melvox::mpeg {

namespace {

// The window for output sample j (0 to 31) and a column of age a lies at
// window[j][a] and window[j][a + 16], scaled by 32768 (so sums come out in
// 16-bit units) and signed as the symmetry of the matrixed rows asks; the
// 16 columns of a row are then read contiguously from 16 - position.
struct window_table {
    alignas(32) float coefficient[32][32];

    window_table()
    {
        for (int j = 0; j < 32; ++j)
            for (int d = 0; d < 32; ++d) {
                int age = d & 15;
                double value = 32768.0 * tables::synthesis_window[32 * age + j];
                // Samples 17 to 31 read the stored rows mirrored: even ages negated.
                if (j > 16 && age % 2 == 0)
                    value = -value;
                coefficient[j][d] = static_cast<float>(value);
            }
    }
};

const window_table& window()
{
    static const window_table table;
    return table;
}

// Factors 1/(2 cos((2k + 1) pi / (2N))) of the fast DCT's butterflies, k < N/2.
template <int N>
struct dct_factors {
    float value[N / 2];
    dct_factors()
    {
        for (int k = 0; k < N / 2; ++k)
            value[k] = static_cast<float>(0.5 / std::cos((2 * k + 1) * std::numbers::pi / (2 * N)));
    }
};

template <int N>
const float* factors()
{
    static const dct_factors<N> table;
    return table.value;
}

// out[m] = sum over k of in[k] cos(pi m (2k + 1) / (2N)), in Lee's recursive form.
template <int N>
inline void dct(const float* in, float* out, const float* const* factor)
{
    if constexpr (N == 1) {
        out[0] = in[0];
    } else {
        float even[N / 2], odd[N / 2], evenOut[N / 2], oddOut[N / 2];
        const float* f = factor[0];
        for (int k = 0; k < N / 2; ++k) {
            even[k] = in[k] + in[N - 1 - k];
            odd[k] = (in[k] - in[N - 1 - k]) * f[k];
        }
        dct<N / 2>(even, evenOut, factor + 1);
        dct<N / 2>(odd, oddOut, factor + 1);
        for (int m = 0; m < N / 2 - 1; ++m) {
            out[2 * m] = evenOut[m];
            out[2 * m + 1] = oddOut[m] + oddOut[m + 1];
        }
        out[N - 2] = evenOut[N / 2 - 1];
        out[N - 1] = oddOut[N / 2 - 1];
    }
}

void dct32(const float* in, float* out)
{
    static const float* const factor[5] = {factors<32>(), factors<16>(), factors<8>(), factors<4>(), factors<2>()};
    dct<32>(in, out, factor);
}

}  // namespace

int16_t round_and_clip(float value)
{
    if (value >= 32767.0f)
        return 32767;
    if (value <= -32768.0f)
        return -32768;
    return static_cast<int16_t>(std::lrint(value));
}

void synthesis_channel::clear()
{
    std::memset(history_, 0, sizeof history_);
    current_ = 0;
    position_ = 0;
}

void synthesis_channel::set_equalizer(const float* gains)
{
    equalizing_ = gains != nullptr;
    if (gains)
        std::memcpy(gains_.data(), gains, sizeof gains_);
}

void synthesis_channel::synthesize_row(float* row)
{
    if (equalizing_)
        for (int k = 0; k < 32; ++k)
            row[k] *= gains_[k];

    // Matrixing: with A the DCT of the row, the standard's vector V has
    // V[i] = A[16 + i] (i <= 16), V[32 - i] = -V[i], V[32 + i] = -A[16 - i]
    // and V[48 + i] = V[48 - i]; rows 0 to 16 of each form suffice.
    float a[32];
    dct32(row, a);
    float (*now)[16] = history_[current_];
    float (*next)[16] = history_[current_ ^ 1];
    for (int r = 0; r < 16; ++r) {
        now[r][position_] = a[16 + r];
        next[r][position_] = -a[16 - r];
    }
    now[16][position_] = 0.0f;
    next[16][position_] = -a[0];

    const window_table& w = window();
    const int offset = 16 - position_;
    const int step = 1 << shift_;
    for (int j = 0; j < 32; j += step) {
        const float* values = now[j <= 16 ? j : 32 - j];
        const float* coefficients = w.coefficient[j] + offset;
        float sum = 0.0f;
        for (int c = 0; c < 16; ++c)
            sum += values[c] * coefficients[c];
        *cursor_ = round_and_clip(sum);
        cursor_ += stride_;
    }

    position_ = (position_ - 1) & 15;
    current_ ^= 1;
}

void synthesis_channel::silence_row()
{
    for (int j = 0; j < 32 >> shift_; ++j) {
        *cursor_ = 0;
        cursor_ += stride_;
    }
}

}  // namespace melvox::mpeg
