#include "filter.h"

#include "audio.h"

#include <algorithm>
#include <cmath>

LowPass::LowPass(double cutoffHz, double resonance)
{
    set(cutoffHz, resonance);
}

void LowPass::set(double cutoffHz, double resonance)
{
    double cutoff = std::clamp(cutoffHz, 20.0, 0.45 * kSampleRate);
    double g = std::tan(kPi * cutoff / kSampleRate);
    k = 1.0 / std::max(resonance, 0.5);
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

float LowPass::process(float input)
{
    double v3 = input - state2;
    double v1 = a1 * state1 + a2 * v3;
    double v2 = state2 + a2 * state1 + a3 * v3;
    state1 = 2.0 * v1 - state1;
    state2 = 2.0 * v2 - state2;
    return static_cast<float>(v2);
}

HighPass::HighPass(double cutoffHz)
{
    double rc = 1.0 / (2.0 * kPi * cutoffHz);
    coefficient = rc / (rc + 1.0 / kSampleRate);
}

float HighPass::process(float input)
{
    lastOutput = coefficient * (lastOutput + input - lastInput);
    lastInput = input;
    return static_cast<float>(lastOutput);
}

Smoother::Smoother(double cutoffHz) : coefficient(1.0 - std::exp(-2.0 * kPi * cutoffHz / kSampleRate)) {}

float Smoother::process(float input)
{
    value += coefficient * (input - value);
    return static_cast<float>(value);
}
