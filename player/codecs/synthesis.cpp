#include "synthesis.h"

#include "instruction_set.h"
#include "mpeg_tables.h"
#include "synthesis_kernel.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace melvox::mpeg {

synthesis_tables::synthesis_tables()
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
    float* f = factors_;
    for (int level = 0, n = 32; n >= 2; ++level, n /= 2) {
        factor[level] = f;
        for (int k = 0; k < n / 2; ++k)
            *f++ = static_cast<float>(0.5 / std::cos((2 * k + 1) * std::numbers::pi / (2 * n)));
    }
}

const synthesis_tables& synthesis_constants()
{
    static const synthesis_tables tables;
    return tables;
}

void window_decimated(const synthesis_state& s, int now, int position, synthesis_output& out)
{
    const synthesis_tables& w = synthesis_constants();
    constexpr int mask = synthesis_state::columns - 1;
    for (int j = 0; j < 32; j += 1 << out.shift) {
        float sum = 0.0f;
        for (int age = 0; age < 16; ++age) {
            const float* column = s.history[now][(position + age) & mask];
            if (j < 16)
                sum += column[j] * w.low[age][j];
            else if (j == 16)
                sum += age % 2 ? s.middle[(position + age) & mask] * w.middle[age] : 0.0f;
            else
                sum += column[32 - j] * w.high[age][32 - j];
        }
        *out.cursor = round_and_clip(sum);
        out.cursor += out.stride;
    }
}

namespace {

// One row at a time, in plain floats; the window sums four lanes at a time
// in the compiler's generic vectors (scalar code where there are none).
struct plain_isa {
    static constexpr int rows = 1;
    using batch = float;
    using lanes = float __attribute__((vector_size(16)));

    static void load_rows(float (*rows)[32], int, float* in) { std::memcpy(in, rows[0], 32 * sizeof(float)); }
    static void store_columns(const float* values, float* const* columns)
    {
        std::memcpy(columns[0], values, 16 * sizeof(float));
    }
    static float lane(float value, int) { return value; }
    static void write_samples(const float* low, float middle, const float* high, synthesis_output& out)
    {
        int16_t* cursor = out.cursor;
        const int step = out.stride;
        for (int r = 0; r < 16; ++r)
            cursor[r * step] = round_and_clip(low[r]);
        cursor[16 * step] = round_and_clip(middle);
        for (int r = 1; r < 16; ++r)
            cursor[(32 - r) * step] = round_and_clip(high[r]);
        out.cursor += 32 * step;
    }
};

using synthesis_kernel = void (*)(synthesis_state&, synthesis_output&, float (*)[32], int);

synthesis_kernel kernel_for(instruction_set set)
{
#if defined(MELVOX_MPEG_X86)
    if (set == instruction_set::avx2)
        return synthesize_avx2;
    if (set == instruction_set::sse2)
        return synthesize_sse2;
#endif
    (void)set;
    return synthesize_plain;
}

} // namespace

void synthesize_plain(synthesis_state& s, synthesis_output& out, float (*rows)[32], int count)
{
    synthesize_with<plain_isa>(s, out, rows, count);
}

void synthesis_channel::clear()
{
    std::memset(state_.history, 0, sizeof state_.history);
    std::memset(state_.middle, 0, sizeof state_.middle);
    state_.current = 0;
    state_.position = 0;
}

void synthesis_channel::set_equalizer(const float* gains)
{
    equalizing_ = gains != nullptr;
    if (gains)
        std::memcpy(gains_.data(), gains, sizeof gains_);
}

void synthesis_channel::synthesize_rows(float (*rows)[32], int count)
{
    if (equalizing_)
        for (int r = 0; r < count; ++r)
            for (int k = 0; k < 32; ++k)
                rows[r][k] *= gains_[k];
    kernel_for(active_instruction_set())(state_, output_, rows, count);
}

void synthesis_channel::silence_row()
{
    for (int j = 0; j < 32 >> output_.shift; ++j) {
        *output_.cursor = 0;
        output_.cursor += output_.stride;
    }
}

} // namespace melvox::mpeg
