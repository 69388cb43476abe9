// What every part of the music synthesiser shares: the sample rate, the
// stereo buffer that notes and buses are rendered into, and pitch.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

constexpr int kSampleRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct StereoBuffer {
    std::vector<float> left;
    std::vector<float> right;

    explicit StereoBuffer(size_t frames = 0) : left(frames), right(frames) {}
    size_t frames() const { return left.size(); }
};

// Equal temperament with A4 (MIDI note 69) at 440 Hz.
inline double midiToHz(double note)
{
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

inline size_t secondsToSamples(double seconds)
{
    return static_cast<size_t>(std::lround(seconds * kSampleRate));
}
