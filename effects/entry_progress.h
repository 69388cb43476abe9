// The progress that effects work with.
#pragma once

#include <cmath>

// A zero-length timeline entry is drawn for one frame with progress 0 / 0,
// not a number; that frame counts as the entry's first, at progress 0, so
// that no effect turns a NaN into an integer or keeps it in its state.
inline float entryProgress(float progress)
{
    return std::isnan(progress) ? 0.0f : progress;
}
