// The synthesis with SSE2: four rows matrixed at once, the window four lanes
// wide.
#include "synthesis_kernel.h"
#include "synthesis_x86.h"

#include <emmintrin.h>

namespace melvox::mpeg {

namespace {

// Eight samples, clipped to 16 bits and rounded to nearest (the processor's
// default rounding, ties to even, as round_and_clip).
__m128i samples_of(const float* values)
{
    const __m128 lowest = _mm_set1_ps(-32768.0f), highest = _mm_set1_ps(32767.0f);
    __m128 a = _mm_min_ps(_mm_max_ps(_mm_load_ps(values), lowest), highest);
    __m128 b = _mm_min_ps(_mm_max_ps(_mm_load_ps(values + 4), lowest), highest);
    return _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
}

struct sse2_isa {
    static constexpr int rows = 4;
    using batch = __m128;
    using lanes = __m128;

    // in[k] holds value k of each row; rows past n read as zero.
    static void load_rows(float (*rows)[32], int n, __m128* in)
    {
        alignas(16) static const float zero[32] = {};
        const float* row[4];
        for (int j = 0; j < 4; ++j)
            row[j] = j < n ? rows[j] : zero;
        for (int k = 0; k < 32; k += 4) {
            __m128 r0 = _mm_loadu_ps(row[0] + k), r1 = _mm_loadu_ps(row[1] + k);
            __m128 r2 = _mm_loadu_ps(row[2] + k), r3 = _mm_loadu_ps(row[3] + k);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            in[k] = r0, in[k + 1] = r1, in[k + 2] = r2, in[k + 3] = r3;
        }
    }

    // Value r of each row to columns[row][r].
    static void store_columns(const __m128* values, float* const* columns)
    {
        for (int r = 0; r < 16; r += 4) {
            __m128 c0 = values[r], c1 = values[r + 1], c2 = values[r + 2], c3 = values[r + 3];
            _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
            _mm_store_ps(columns[0] + r, c0);
            _mm_store_ps(columns[1] + r, c1);
            _mm_store_ps(columns[2] + r, c2);
            _mm_store_ps(columns[3] + r, c3);
        }
    }

    static float lane(__m128 value, int j) { return value[j]; }

    static void write_samples(const float* low, float middle, const float* high, synthesis_output& out)
    {
        write_row_x86(samples_of(low), samples_of(low + 8), middle, samples_of(high), samples_of(high + 8), out);
    }
};

} // namespace

void synthesize_sse2(synthesis_state& s, synthesis_output& out, float (*rows)[32], int count)
{
    synthesize_with<sse2_isa>(s, out, rows, count);
}

} // namespace melvox::mpeg
