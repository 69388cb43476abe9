// The synthesis with AVX2: eight rows matrixed at once, the window eight
// lanes wide. Compiled with -mavx2; reached only where the processor has it.
#include "synthesis_kernel.h"
#include "synthesis_x86.h"

#include <immintrin.h>

namespace melvox::mpeg {

namespace {

// Sixteen samples, clipped and rounded to nearest, in two halves of eight.
void samples_of(const float* values, __m128i& first, __m128i& second)
{
    const __m256 lowest = _mm256_set1_ps(-32768.0f), highest = _mm256_set1_ps(32767.0f);
    __m256 a = _mm256_min_ps(_mm256_max_ps(_mm256_load_ps(values), lowest), highest);
    __m256 b = _mm256_min_ps(_mm256_max_ps(_mm256_load_ps(values + 8), lowest), highest);
    // packs works within each 128-bit half: a0-3 b0-3 a4-7 b4-7, then in order.
    __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(_mm256_cvtps_epi32(a), _mm256_cvtps_epi32(b)), 0xd8);
    first = _mm256_castsi256_si128(packed);
    second = _mm256_extracti128_si256(packed, 1);
}

// r[i][j] becomes r[j][i].
void transpose8(__m256* r)
{
    __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
    __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]), t5 = _mm256_unpackhi_ps(r[4], r[5]);
    __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]), t7 = _mm256_unpackhi_ps(r[6], r[7]);
    __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xee);
    __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xee);
    __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xee);
    __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xee);
    r[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
    r[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
    r[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
    r[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
    r[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
    r[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
    r[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
    r[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

struct avx2_isa {
    static constexpr int rows = 8;
    using batch = __m256;
    using lanes = __m256;

    static void load_rows(float (*rows)[32], int n, __m256* in)
    {
        alignas(32) static const float zero[32] = {};
        const float* row[8];
        for (int j = 0; j < 8; ++j)
            row[j] = j < n ? rows[j] : zero;
        for (int k = 0; k < 32; k += 8) {
            for (int j = 0; j < 8; ++j)
                in[k + j] = _mm256_loadu_ps(row[j] + k);
            transpose8(in + k);
        }
    }

    static void store_columns(const __m256* values, float* const* columns)
    {
        for (int r = 0; r < 16; r += 8) {
            __m256 c[8];
            for (int j = 0; j < 8; ++j)
                c[j] = values[r + j];
            transpose8(c);
            for (int j = 0; j < 8; ++j)
                _mm256_store_ps(columns[j] + r, c[j]);
        }
    }

    static float lane(__m256 value, int j) { return value[j]; }

    static void write_samples(const float* low, float middle, const float* high, synthesis_output& out)
    {
        __m128i low0, low1, high0, high1;
        samples_of(low, low0, low1);
        samples_of(high, high0, high1);
        write_row_x86(low0, low1, middle, high0, high1, out);
    }
};

} // namespace

void synthesize_avx2(synthesis_state& s, synthesis_output& out, float (*rows)[32], int count)
{
    synthesize_with<avx2_isa>(s, out, rows, count);
}

} // namespace melvox::mpeg
