// From a score to the finished stereo master.
#pragma once

#include "echo.h"
#include "limiter.h"
#include "mixer.h"
#include "score.h"

#include <cstdint>
#include <vector>

struct MasterSettings {
    double targetRms = 0.178; // about -15 dBFS, before limiting
    double echoSteps = 3.0;   // echo delay in sixteenths (a dotted eighth)
    float echoFeedback = 0.38f;
    double fadeOutSeconds = 0.05;
    LimiterSettings limiter;
};

// Every note mixed, the echo added and DC removed; not yet levelled.
StereoBuffer mixSong(const Song& song, const TrackTable& tracks, const MasterSettings& settings);

// Throws std::runtime_error if the mix holds a sample that is not finite.
// The mix brought to the target loudness, limited, faded out over its last
// moment and converted to interleaved 16-bit stereo: song.length frames.
std::vector<int16_t> renderSong(const Song& song, const TrackTable& tracks = defaultTracks(),
                                const MasterSettings& settings = {});
