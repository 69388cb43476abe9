// Amplitude envelopes. A note's envelope is a pure function of time, so a
// note can be rendered on its own and its length known in advance.
#pragma once

#include <cstddef>

// Attack rises linearly from 0 to 1; decay falls exponentially toward the
// sustain level with time constant `decay`; once the gate closes the
// release falls from wherever the level was to exactly 0 in `release`
// seconds, leaving the curve flat at its end. Attack and release are never
// shorter than kMinimumEdge, so no note starts or stops with a step.
struct Adsr {
    double attack = 0.005;
    double decay = 0.2;
    double sustain = 1.0;
    double release = 0.05;
};

constexpr double kMinimumEdge = 0.001; // seconds

// Level at `t` seconds after the note starts, for a gate open `gate` seconds.
double adsrLevel(const Adsr& envelope, double t, double gate);
// Seconds from the start of the note until the release has ended.
double adsrLength(const Adsr& envelope, double gate);
