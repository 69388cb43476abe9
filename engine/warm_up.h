// Prepares the renderer for the timeline before the demo's clock starts.
#pragma once

#include <functional>

// Draws every timeline entry at moments spread over its length into a single
// pixel of the back buffer, so that a renderer which builds its shading code
// on the first draw of each state does so now, not in the middle of the show.
// Clears the back buffer afterwards, consumes no random numbers, leaves the
// OpenGL state as it found it, and puts back the state that effects carry
// from frame to frame (see StateKeeper).
void warmUpTimeline();

// An effect whose drawing carries state from one frame to the next holds one
// of these: keep is called before the warm-up's first draw and restore after
// its last, so that the show finds the effect as if it had never drawn.
class StateKeeper {
public:
    StateKeeper(std::function<void()> keep, std::function<void()> restore);
    ~StateKeeper();
    StateKeeper(const StateKeeper&) = delete;
    StateKeeper& operator=(const StateKeeper&) = delete;

    std::function<void()> keep;
    std::function<void()> restore;
};
