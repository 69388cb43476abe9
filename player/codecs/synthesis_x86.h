// The output of a synthesised row with x86 vector instructions (SSE2, which
// the AVX2 code uses as well): the 16-bit samples in order, stored straight,
// or merged into the slots of interleaved pairs. Internal linkage, as in
// synthesis_kernel.h.
#pragma once

#include "synthesis.h"

#include <emmintrin.h>

namespace melvox::mpeg {
namespace {

inline __m128i reverse_samples(__m128i v)
{
    v = _mm_shufflelo_epi16(v, 0x1b);
    v = _mm_shufflehi_epi16(v, 0x1b);
    return _mm_shuffle_epi32(v, 0x4e);
}

// Writes samples 0-15 (low0, low1), 16 (middle) and 17-31, which are
// high[15] down to high[1] (high0 holds high[0-7], high1 high[8-15]).
inline void write_row_x86(__m128i low0, __m128i low1, float middle, __m128i high0, __m128i high1, synthesis_output& out)
{
    __m128i down1 = reverse_samples(high1), down0 = reverse_samples(high0);
    __m128 clipped = _mm_min_ss(_mm_max_ss(_mm_set_ss(middle), _mm_set_ss(-32768.0f)), _mm_set_ss(32767.0f));
    int middle_sample = _mm_cvtss_si32(clipped);
    __m128i part[4] = {
        low0,
        low1,
        _mm_insert_epi16(_mm_slli_si128(down1, 2), middle_sample, 0),
        _mm_or_si128(_mm_slli_si128(down0, 2), _mm_srli_si128(down1, 14)),
    };
    if (out.stride == 1) {
        for (int i = 0; i < 4; ++i)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out.cursor) + i, part[i]);
        out.cursor += 32;
    } else if (out.stride == 2) {
        // Pairs of the channel's sample and its partner's, which is kept.
        __m128i* pairs = reinterpret_cast<__m128i*>(out.cursor - out.slot);
        __m128i zero = _mm_setzero_si128();
        __m128i keep = _mm_set1_epi32(out.slot ? 0x0000ffff : static_cast<int>(0xffff0000u));
        for (int i = 0; i < 4; ++i) {
            __m128i first = out.slot ? _mm_unpacklo_epi16(zero, part[i]) : _mm_unpacklo_epi16(part[i], zero);
            __m128i second = out.slot ? _mm_unpackhi_epi16(zero, part[i]) : _mm_unpackhi_epi16(part[i], zero);
            __m128i old_first = _mm_loadu_si128(pairs + 2 * i), old_second = _mm_loadu_si128(pairs + 2 * i + 1);
            _mm_storeu_si128(pairs + 2 * i, _mm_or_si128(_mm_and_si128(old_first, keep), first));
            _mm_storeu_si128(pairs + 2 * i + 1, _mm_or_si128(_mm_and_si128(old_second, keep), second));
        }
        out.cursor += 64;
    } else {
        alignas(16) int16_t samples[32];
        for (int i = 0; i < 4; ++i)
            _mm_store_si128(reinterpret_cast<__m128i*>(samples) + i, part[i]);
        for (int16_t sample : samples) {
            *out.cursor = sample;
            out.cursor += out.stride;
        }
    }
}

} // namespace
} // namespace melvox::mpeg
