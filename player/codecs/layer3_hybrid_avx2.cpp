// Long blocks of eight subbands at once with AVX2. Compiled with -mavx2;
// reached only where the processor has it.
#include "layer3_hybrid_kernel.h"

#include <immintrin.h>

namespace melvox::mpeg::layer3 {

namespace {

struct avx2_isa {
    using vector = __m256;
    static void load_lines(const float* lines, __m256* in)
    {
        const __m256i subbands = _mm256_setr_epi32(0, 18, 36, 54, 72, 90, 108, 126);
        for (int k = 0; k < 18; ++k)
            in[k] = _mm256_i32gather_ps(lines + k, subbands, 4);
    }
    static __m256 load(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, __m256 v) { _mm256_storeu_ps(p, v); }
};

} // namespace

void long_blocks_avx2(const float* lines, const float* window, float* overlap, float* rows)
{
    long_blocks_with<avx2_isa>(lines, window, overlap, rows);
}

} // namespace melvox::mpeg::layer3
