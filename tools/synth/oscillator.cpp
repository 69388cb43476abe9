#include "oscillator.h"

#include "audio.h"

#include <algorithm>
#include <cmath>

Oscillator::Oscillator(Waveform shape, double startPhase) : shape(shape), phase(startPhase - std::floor(startPhase)) {}

void Oscillator::setFrequency(double hz)
{
    increment = hz / kSampleRate;
}

void Oscillator::setPulseWidth(double w)
{
    width = std::clamp(w, 0.05, 0.95);
}

double polyBlep(double t, double dt)
{
    if (dt <= 0.0)
        return 0.0;
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

float Oscillator::next()
{
    double value = 0.0;
    switch (shape) {
    case Waveform::Sine: value = std::sin(2.0 * kPi * phase); break;
    case Waveform::Saw: value = 2.0 * phase - 1.0 - polyBlep(phase, increment); break;
    case Waveform::Square: {
        // Rising step at phase 0, falling step at `width`.
        double falling = phase - width;
        if (falling < 0.0)
            falling += 1.0;
        value = (phase < width ? 1.0 : -1.0) + polyBlep(phase, increment) - polyBlep(falling, increment) -
                (2.0 * width - 1.0);
        break;
    }
    case Waveform::Triangle:
        // Starts at 0 and rises, like the sine; its harmonics fall fast
        // enough that it needs no correction.
        value = phase < 0.25 ? 4.0 * phase : phase < 0.75 ? 2.0 - 4.0 * phase : 4.0 * phase - 4.0;
        break;
    }
    phase += increment;
    phase -= std::floor(phase);
    return static_cast<float>(value);
}

Noise::Noise(uint32_t seed) : state(seed * 2654435761u ^ 0x9E3779B9u)
{
    if (state == 0)
        state = 0x6D2B79F5u; // xorshift never leaves 0
}

uint32_t Noise::step()
{
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

double Noise::uniform()
{
    return step() / 4294967296.0;
}

float Noise::next()
{
    return static_cast<float>(uniform() * 2.0 - 1.0);
}
