// The polyphase synthesis filterbank that ends every layer: rows of 32
// subband samples of one channel become 32 PCM samples (fewer when
// downsampling), rounded to nearest and clipped to 16 bits.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace melvox::mpeg {

// The filter memory of one channel: the last 16 matrixed rows, each stored in
// the two forms that its even and odd ages need, one in each history buffer,
// so that the current buffer always holds the right form in every column.
// Values 0-15 of a column lie together (the window sums run across them);
// value 16 is zero in the even form and kept apart for the odd form. The ring
// has room for 16 more columns, so that a batch of rows can be matrixed
// before any of them is windowed.
struct synthesis_state {
    static constexpr int columns = 32;
    alignas(32) float history[2][columns][16];
    float middle[columns]; // value 16 of the odd form
    int current = 0;
    int position = 0; // column of the next row
};

// Where a channel's samples go: the slot (0 or 1) of each group of `stride`
// samples, and the downsampling shift.
struct synthesis_output {
    int16_t* cursor = nullptr; // the channel's next sample
    int stride = 1;
    int slot = 0;
    int shift = 0;
};

class synthesis_channel {
public:
    synthesis_channel() { clear(); }

    // Zeroes the filter memory (both histories), as at the start of a stream.
    void clear();

    // Where the next samples go: the frame's PCM buffer, the step between
    // samples (1 single channel, 2 interleaved stereo) and the channel's slot
    // in each pair when interleaved (0 left, 1 right); the samples go to
    // buffer[slot], buffer[slot + stride], ...
    void set_output(int16_t* buffer, int stride, int slot = 0)
    {
        output_.cursor = buffer + slot;
        output_.stride = stride;
        output_.slot = stride > 1 ? slot : 0;
    }
    int16_t* cursor() const { return output_.cursor; }

    // 0: all 32 samples of a row; 1 or 2: every 2nd or 4th sample only.
    void set_shift(int shift) { output_.shift = shift; }
    int shift() const { return output_.shift; }

    // Per-subband gains applied to each row on the way in; null switches them off.
    void set_equalizer(const float* gains);
    bool equalizing() const { return equalizing_; }
    const std::array<float, 32>& equalizer_gains() const { return gains_; }

    // Consumes 32 subband samples (changed in place when equalizing) and
    // writes 32 >> shift PCM samples at the cursor.
    void synthesize_row(float* row) { synthesize_rows(reinterpret_cast<float(*)[32]>(row), 1); }
    // The same for `count` rows in time order; rows are matrixed in batches,
    // several at once where the processor has the vector units for it.
    void synthesize_rows(float (*rows)[32], int count);
    // Writes as many zero samples as a row would give; the filter memory stays.
    void silence_row();

private:
    synthesis_state state_;
    synthesis_output output_;
    std::array<float, 32> gains_{};
    bool equalizing_ = false;
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
