#include "warm_up.h"

#include "effect.h"
#include "timeline.h"

#include <GL/gl.h>

#include <utility>
#include <vector>

namespace {

std::vector<StateKeeper*> keepers;

// Two moments, a quarter and three quarters through, meet the states of an
// entry's beginning and of its end (the states rarely change within one;
// each more moment costs a draw and gains little). They keep clear of the
// entry's first and last half second, where an effect may flash at random
// (random numbers cannot be put back).
constexpr int moments = 2;
constexpr uint32_t edgeMs = 500;

// The value a track holds at a demo time: its last key at or before it.
float trackValueAt(int track, uint32_t time)
{
    float value = 0.0f;
    for (int k = 0; k < trackLength[track] && tracks[track][k].time <= time; ++k)
        value = tracks[track][k].value;
    return value;
}

void drawAtMoments(const TimelineEntry& entry)
{
    uint32_t length = entry.end - entry.start;
    if (length <= 2 * edgeMs)
        return; // left to the show itself
    for (int m = 0; m < moments; ++m) {
        auto elapsed = static_cast<int>(edgeMs +
                                        static_cast<uint64_t>(length - 2 * edgeMs) * (2 * m + 1) / (2 * moments));
        // As the frame loop computes it.
        auto progress = static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(length));
        entry.effect->draw(elapsed, progress, trackValueAt(entry.track, entry.start + elapsed));
    }
}

} // namespace

StateKeeper::StateKeeper(std::function<void()> keep, std::function<void()> restore)
    : keep(std::move(keep)), restore(std::move(restore))
{
    keepers.push_back(this);
}

StateKeeper::~StateKeeper()
{
    std::erase(keepers, this);
}

void warmUpTimeline()
{
    for (StateKeeper* keeper : keepers)
        keeper->keep();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    // The pictures are not wanted, only the states: they shrink to one pixel
    // (scissoring alone does not stop every kind of drawing).
    glViewport(0, 0, 1, 1);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 0, 0);
    for (int l = 0; l <= highestLayer; ++l)
        for (int k = 0; k < layerLength[l]; ++k)
            drawAtMoments(layers[l][k]);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (StateKeeper* keeper : keepers)
        keeper->restore();
}
