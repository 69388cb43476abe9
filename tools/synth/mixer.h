// The mixing desk: every instrument has a track with a level, a place in
// the stereo field and a send to the echo; pads, arpeggio and bass duck
// under the kick, which gives the groove its pump.
#pragma once

#include "audio.h"
#include "instruments.h"

#include <array>
#include <vector>

struct Track {
    float gain = 1.0f;
    float pan = 0.5f; // 0 left, 0.5 centre, 1 right (constant power)
    float echoSend = 0.0f;
    bool ducked = false;
};

using TrackTable = std::array<Track, kInstrumentCount>;

// The house mix of the demo's instruments.
TrackTable defaultTracks();

// Left and right gains for a pan position; equal power at every position.
std::array<float, 2> panGains(float pan);

class Mixer {
public:
    Mixer(size_t frames, const TrackTable& tracks);

    // Gain for the ducked tracks: dips after each kick start and recovers.
    void duckUnder(const std::vector<int64_t>& kickStarts);
    // Adds a rendered note at its start; what falls past the end is dropped.
    void add(const NoteEvent& note, const StereoBuffer& voice);

    const StereoBuffer& dry() const { return dryBus; }
    const StereoBuffer& echoSend() const { return sendBus; }

private:
    TrackTable tracks;
    StereoBuffer dryBus;
    StereoBuffer sendBus;
    std::vector<float> duck;
};
