// Ping-pong echo for the master bus's send: what goes in comes back after
// the delay on the left, then on the right, and so on, each repeat quieter
// by the feedback factor and a little darker.
#pragma once

#include "audio.h"

struct EchoSettings {
    size_t delay = 15876;      // samples (a dotted eighth at 125 BPM)
    float feedback = 0.38f;    // 0 to below 1
    double dampingHz = 3500.0; // low-pass on every repeat
};

// Returns only the echoes (the wet signal) of `input`, as long as the input.
StereoBuffer pingPongEcho(const StereoBuffer& input, const EchoSettings& settings);
