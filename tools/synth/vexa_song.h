// The demo's own piece: A minor, 125 BPM, in seven sections (intro, build,
// theme, chorus, break, finale, outro).
#pragma once

#include "score.h"

#include <vector>

constexpr double kVexaBpm = 125.0;       // a sixteenth is exactly 5292 samples
constexpr double kVexaTailSeconds = 2.4; // the last chord and echoes ring out

std::vector<Section> vexaSections();
Song vexaSong();
