// Filters that shape the instruments and clean the master bus.
#pragma once

// Two-pole state-variable low-pass with trapezoidal integration: it stays
// stable while its cutoff moves every sample (filter sweeps, envelopes).
class LowPass {
public:
    LowPass(double cutoffHz = 1000.0, double resonance = 0.7071);

    // `resonance` is the filter's Q: 0.707 is flat, higher values ring.
    void set(double cutoffHz, double resonance);
    float process(float input);

private:
    double a1 = 0.0, a2 = 0.0, a3 = 0.0, k = 1.0;
    double state1 = 0.0, state2 = 0.0;
};

// One-pole high-pass: thins noise for the drums and, at a few hertz, keeps
// DC off the master bus.
class HighPass {
public:
    explicit HighPass(double cutoffHz);
    float process(float input);

private:
    double coefficient;
    double lastInput = 0.0;
    double lastOutput = 0.0;
};

// One-pole low-pass: darkens the echo's repeats.
class Smoother {
public:
    explicit Smoother(double cutoffHz);
    float process(float input);

private:
    double coefficient;
    double value = 0.0;
};
