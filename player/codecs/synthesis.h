// The polyphase synthesis filterbank that ends every layer: rows of 32
// subband samples of one channel become 32 PCM samples (fewer when
// downsampling), rounded to nearest and clipped to 16 bits.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace melvox::mpeg {

class synthesis_channel {
public:
    synthesis_channel() { clear(); }

    // Zeroes the filter memory (both histories), as at the start of a stream.
    void clear();

    // Where the next samples go: a cursor into the frame's PCM buffer and the
    // step between samples (1 single channel, 2 interleaved stereo).
    void set_output(int16_t* cursor, int stride)
    {
        cursor_ = cursor;
        stride_ = stride;
    }
    int16_t* cursor() const { return cursor_; }

    // 0: all 32 samples of a row; 1 or 2: every 2nd or 4th sample only.
    void set_shift(int shift) { shift_ = shift; }
    int shift() const { return shift_; }

    // Per-subband gains applied to each row on the way in; null switches them off.
    void set_equalizer(const float* gains);
    bool equalizing() const { return equalizing_; }
    const std::array<float, 32>& equalizer_gains() const { return gains_; }

    // Consumes 32 subband samples (changed in place when equalizing) and
    // writes 32 >> shift PCM samples at the cursor.
    void synthesize_row(float* row);
    // Writes as many zero samples as a row would give; the filter memory stays.
    void silence_row();

private:
    // Two histories of 16 columns (one per row of the last 16) x 17 values:
    // each matrixed row is stored in the two forms that its even and odd ages
    // need, one in each buffer, so that the current buffer always holds the
    // right form in every column. Values 0-15 of a column lie together (the
    // window sums run across them), value 16 apart.
    alignas(32) float history_[2][16][16];
    float middle_[2][16];
    int current_ = 0;
    int position_ = 0; // column of the next row

    std::array<float, 32> gains_{};
    bool equalizing_ = false;
    int shift_ = 0;
    int16_t* cursor_ = nullptr;
    int stride_ = 1;
};

// Rounds to the nearest integer (ties to even) and clips to 16 bits.
inline int16_t round_and_clip(float value)
{
    float clipped = value < -32768.0f ? -32768.0f : (value > 32767.0f ? 32767.0f : value);
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
    // x87 arithmetic (32-bit x86 without SSE) keeps intermediates wider than
    // float, so the trick below would round nothing and the conversion would
    // truncate, one LSB off for half the samples. The FPU's own conversion
    // rounds to nearest, ties to even.
    return static_cast<int16_t>(std::lrint(clipped));
#else
    // Clipped first, then rounded by adding and removing 1.5 * 2^23: that
    // rounds to the nearest integer, ties to even, in the default rounding
    // mode, and the result converts exactly. No branches, so loops of it
    // vectorise.
    constexpr float magic = 12582912.0f;
    float shifted = clipped + magic;
    return static_cast<int16_t>(static_cast<int>(shifted - magic));
#endif
}

} // namespace melvox::mpeg
