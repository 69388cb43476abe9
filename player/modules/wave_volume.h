// Volume arithmetic of the wave output. A wave-out volume word holds the left
// channel in its low 16 bits and the right channel in its high 16 bits,
// 0..65535 each; levels are percentages and the balance runs from 0 (left)
// to 1 (right), 0.5 centred.
#pragma once

#include <algorithm>
#include <cstdint>

namespace melvox::wave {

constexpr uint32_t full_volume = 0xffffffffu;

inline uint32_t left_of(uint32_t volume)
{
    return volume & 0xffffu;
}

inline uint32_t right_of(uint32_t volume)
{
    return volume >> 16;
}

inline uint32_t volume_word(uint32_t left, uint32_t right)
{
    return (std::min<uint32_t>(left, 0xffff)) | (std::min<uint32_t>(right, 0xffff) << 16);
}

// right / (left + right); centred when both are 0.
inline double balance_of(uint32_t volume)
{
    uint32_t sum = left_of(volume) + right_of(volume);
    return sum == 0 ? 0.5 : static_cast<double>(right_of(volume)) / sum;
}

// A channel value split by the balance: the side that the balance leans
// away from is turned down, the other keeps the whole value.
inline uint32_t split(double value, double balance)
{
    double left = value, right = value;
    if (balance > 0.5)
        left = (1 - balance) * value * 2;
    else
        right = value * balance * 2;
    return volume_word(static_cast<uint32_t>(left), static_cast<uint32_t>(right));
}

// A PCM level (0..100) as a channel value.
inline double channel_value(uint32_t level)
{
    return level * 655.35;
}

// The PCM level of a volume word: its louder channel in percent, truncated.
inline uint32_t level_of(uint32_t volume)
{
    return std::max(left_of(volume), right_of(volume)) * 100 / 65535;
}

// A fraction (0..1) in percent, truncated. The small allowance keeps a
// percentage that was stored as a fraction (29 as 0.29) from reading back
// one less through the rounding of the division.
inline uint32_t percent_of(double fraction)
{
    return fraction <= 0 ? 0 : static_cast<uint32_t>(fraction * 100 + 1e-9);
}

} // namespace melvox::wave
