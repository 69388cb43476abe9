// The master bus's last steps: a limiter that keeps every sample within the
// ceiling without hard clipping, and the conversion to 16-bit samples.
#pragma once

#include "audio.h"

#include <cstdint>
#include <vector>

struct LimiterSettings {
    float ceiling = 0.85f;        // about -1.4 dBFS: room for the MP3 encoding to overshoot
    double attackSeconds = 0.004; // the gain starts falling this long before a peak
    double releaseSeconds = 0.15; // and recovers with this time constant after it
};

// Rides the gain down ahead of every peak that would pass the ceiling and
// lets it recover smoothly afterwards. Offline, so it can look ahead over
// the whole buffer: no sample leaves above the ceiling.
void limit(StereoBuffer& buffer, const LimiterSettings& settings);

// Interleaved 16-bit samples, rounded; values beyond full scale saturate
// rather than wrap.
std::vector<int16_t> toPcm16(const StereoBuffer& buffer);
