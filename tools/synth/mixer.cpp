#include "mixer.h"

#include <algorithm>
#include <cmath>

TrackTable defaultTracks()
{
    TrackTable t;
    t[static_cast<int>(Instrument::Bass)] = {0.70f, 0.5f, 0.0f, true};
    t[static_cast<int>(Instrument::Pad)] = {0.38f, 0.5f, 0.15f, true};
    t[static_cast<int>(Instrument::Lead)] = {0.38f, 0.55f, 0.30f, false};
    t[static_cast<int>(Instrument::Arp)] = {0.20f, 0.30f, 0.40f, true};
    t[static_cast<int>(Instrument::Bell)] = {0.30f, 0.60f, 0.45f, false};
    t[static_cast<int>(Instrument::Kick)] = {0.73f, 0.5f, 0.0f, false};
    t[static_cast<int>(Instrument::Snare)] = {1.10f, 0.47f, 0.12f, false};
    t[static_cast<int>(Instrument::HiHat)] = {1.60f, 0.65f, 0.0f, false};
    t[static_cast<int>(Instrument::OpenHat)] = {1.00f, 0.65f, 0.05f, false};
    t[static_cast<int>(Instrument::Crash)] = {0.60f, 0.5f, 0.10f, false};
    return t;
}

std::array<float, 2> panGains(float pan)
{
    double angle = std::clamp(pan, 0.0f, 1.0f) * kPi / 2.0;
    return {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle))};
}

Mixer::Mixer(size_t frames, const TrackTable& tracks)
    : tracks(tracks), dryBus(frames), sendBus(frames), duck(frames, 1.0f)
{
}

void Mixer::duckUnder(const std::vector<int64_t>& kickStarts)
{
    const double depth = 0.35;
    const size_t fall = secondsToSamples(0.005); // a ramp, not a step
    const double recovery = 0.12 * kSampleRate;
    const size_t reach = secondsToSamples(0.6);
    for (int64_t start : kickStarts) {
        if (start < 0)
            continue;
        for (size_t i = 0; i < reach && start + i < duck.size(); ++i) {
            double dip = i < fall ? depth * double(i) / fall : depth * std::exp(-double(i - fall) / recovery);
            float& g = duck[start + i];
            g = std::min(g, static_cast<float>(1.0 - dip));
        }
    }
}

void Mixer::add(const NoteEvent& note, const StereoBuffer& voice)
{
    if (note.start < 0)
        return;
    const Track& track = tracks[static_cast<int>(note.instrument)];
    auto pan = panGains(track.pan);
    size_t start = static_cast<size_t>(note.start);
    size_t end = std::min(dryBus.frames(), start + voice.frames());
    for (size_t at = start; at < end; ++at) {
        float g = track.gain * (track.ducked ? duck[at] : 1.0f);
        float l = voice.left[at - start] * g * pan[0];
        float r = voice.right[at - start] * g * pan[1];
        dryBus.left[at] += l;
        dryBus.right[at] += r;
        sendBus.left[at] += l * track.echoSend;
        sendBus.right[at] += r * track.echoSend;
    }
}
