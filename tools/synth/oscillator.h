// The synthesiser's sound sources: a phase-accumulating oscillator and a
// seeded noise generator.
#pragma once

#include <cstdint>

enum class Waveform { Sine, Saw, Square, Triangle };

// One oscillator. Saw and square are band-limited with polyBLEP corrections
// at their steps, so that high notes do not fold back into audible
// inharmonic tones. The frequency may change every sample (vibrato, pitch
// sweeps); the phase runs on without a jump.
class Oscillator {
public:
    explicit Oscillator(Waveform shape, double startPhase = 0.0);

    void setFrequency(double hz);
    // Share of the period spent high, for the square (0.05 to 0.95). The
    // output has its average removed, so narrow pulses carry no DC.
    void setPulseWidth(double width);
    float next();

private:
    Waveform shape;
    double phase;
    double increment = 0.0;
    double width = 0.5;
};

// Correction for a unit downward step at phase 0 of a wave whose phase
// advances by `increment` per sample (zero away from the step).
double polyBlep(double phase, double increment);

// White noise from a 32-bit xorshift generator: the same seed gives the same
// noise, which keeps every render of the music identical.
class Noise {
public:
    explicit Noise(uint32_t seed);

    float next();     // uniform in [-1, 1)
    double uniform(); // uniform in [0, 1)

private:
    uint32_t state;
    uint32_t step();
};
