// The arithmetic of played time, timecode and position.
#pragma once

#include <cstdint>

namespace melvox {

struct played_time {
    uint32_t seconds = 0;
    uint32_t microseconds = 0; // below 1000000
};

struct timecode {
    uint8_t hours = 0;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint8_t hundredths = 0;
    bool operator==(const timecode&) const = default;
};

// samples x 1000000 / rate microseconds in unsigned 32-bit arithmetic, split
// so that it does not overflow above 2048 samples; 0 for a rate of 0.
uint32_t frame_microseconds(uint32_t samples, uint32_t rate);

// Adds microseconds, carrying whole seconds.
void add_microseconds(played_time& t, uint32_t microseconds);

// The played time of a position given in seconds (whole and fraction).
played_time played_time_of_seconds(double seconds);

timecode timecode_of(const played_time& t);

// The timecode's fraction as notified: 0 for a granularity of 100, else the
// hundredths rounded down to a multiple of the granularity.
uint8_t timecode_fraction(uint8_t hundredths, uint32_t granularity);

// range x ratio, truncated, for a ratio in 0..1.
uint32_t position_offset(uint32_t range, float ratio);

} // namespace melvox
