// Long blocks of four subbands at once with SSE2.
#include "layer3_hybrid_kernel.h"

#include <emmintrin.h>

namespace melvox::mpeg::layer3 {

namespace {

struct sse2_isa {
    using vector = __m128;
    static void load_lines(const float* lines, __m128* in)
    {
        for (int k = 0; k < 18; ++k)
            in[k] = _mm_set_ps(lines[54 + k], lines[36 + k], lines[18 + k], lines[k]);
    }
    static __m128 load(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, __m128 v) { _mm_storeu_ps(p, v); }
};

} // namespace

void long_blocks_sse2(const float* lines, const float* window, float* overlap, float* rows)
{
    long_blocks_with<sse2_isa>(lines, window, overlap, rows);
}

} // namespace melvox::mpeg::layer3
