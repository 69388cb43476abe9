#include "synthesis.h"

#include "mpeg_tables.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace melvox::mpeg {

namespace {

// The window, scaled by 32768 (so sums come out in 16-bit units), by the age
// of a history column (0 newest to 15): sample r (0-15) takes low[age][r],
// sample 32 - r (17-31) takes high[age][r] from the same stored value (its
// mirror, negated for even ages), and sample 16 takes middle[age].
struct window_table {
    alignas(32) float low[16][16];
    alignas(32) float high[16][16];
    float middle[16];

    window_table()
    {
        for (int age = 0; age < 16; ++age) {
            const double* d = tables::synthesis_window + 32 * age;
            for (int r = 0; r < 16; ++r) {
                low[age][r] = static_cast<float>(32768.0 * d[r]);
                double mirrored = r == 0 ? 0.0 : 32768.0 * d[32 - r];
                high[age][r] = static_cast<float>(age % 2 == 0 ? -mirrored : mirrored);
            }
            middle[age] = static_cast<float>(32768.0 * d[16]);
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
        float even[N / 2], odd[N / 2], even_out[N / 2], odd_out[N / 2];
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

void dct32(const float* in, float* out)
{
    static const float* const factor[5] = {factors<32>(), factors<16>(), factors<8>(), factors<4>(), factors<2>()};
    dct<32>(in, out, factor);
}

} // namespace

void synthesis_channel::clear()
{
    std::memset(history_, 0, sizeof history_);
    std::memset(middle_, 0, sizeof middle_);
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
    // and V[48 + i] = V[48 - i]; values 0 to 16 of each form suffice.
    float a[32];
    dct32(row, a);
    const int now = current_, next = current_ ^ 1;
    float* even_form = history_[now][position_];
    float* odd_form = history_[next][position_];
    for (int r = 0; r < 16; ++r) {
        even_form[r] = a[16 + r];
        odd_form[r] = -a[16 - r];
    }
    middle_[now][position_] = 0.0f;
    middle_[next][position_] = -a[0];

    const window_table& w = window();
    float(*columns)[16] = history_[now];
    const float* middle = middle_[now];
    if (shift_ == 0) {
        // All 32 samples at once: the sums run across the values of a column,
        // four lanes at a time, column by column from the newest.
        using lanes = float __attribute__((vector_size(16)));
        lanes low0 = {}, low1 = {}, low2 = {}, low3 = {};
        lanes high0 = {}, high1 = {}, high2 = {}, high3 = {};
        float mid = 0.0f;
        for (int age = 0; age < 16; ++age) {
            int c = (position_ + age) & 15;
            const lanes* v = reinterpret_cast<const lanes*>(columns[c]);
            const lanes* wl = reinterpret_cast<const lanes*>(w.low[age]);
            const lanes* wh = reinterpret_cast<const lanes*>(w.high[age]);
            low0 += v[0] * wl[0];
            low1 += v[1] * wl[1];
            low2 += v[2] * wl[2];
            low3 += v[3] * wl[3];
            high0 += v[0] * wh[0];
            high1 += v[1] * wh[1];
            high2 += v[2] * wh[2];
            high3 += v[3] * wh[3];
            mid += middle[c] * w.middle[age];
        }
        const lanes low[4] = {low0, low1, low2, low3}, high[4] = {high0, high1, high2, high3};
        int16_t* out = cursor_;
        const int step = stride_;
        for (int r = 0; r < 16; ++r)
            out[r * step] = round_and_clip(low[r / 4][r % 4]);
        out[16 * step] = round_and_clip(mid);
        for (int r = 1; r < 16; ++r)
            out[(32 - r) * step] = round_and_clip(high[r / 4][r % 4]);
        cursor_ += 32 * step;
    } else {
        // Decimated: only the samples that are written are computed.
        for (int j = 0; j < 32; j += 1 << shift_) {
            float sum = 0.0f;
            for (int age = 0; age < 16; ++age) {
                int c = (position_ + age) & 15;
                if (j < 16)
                    sum += columns[c][j] * w.low[age][j];
                else if (j == 16)
                    sum += middle[c] * w.middle[age];
                else
                    sum += columns[c][32 - j] * w.high[age][32 - j];
            }
            *cursor_ = round_and_clip(sum);
            cursor_ += stride_;
        }
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

} // namespace melvox::mpeg
