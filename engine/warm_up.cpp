#include "warm_up.h"

#include "effect.h"
#include "timeline.h"

#include <GL/gl.h>

#include <algorithm>
#include <vector>

namespace {

// The value a track holds at a demo time: its last key at or before it.
float trackValueAt(int track, uint32_t time)
{
    float value = 0.0f;
    for (int k = 0; k < trackLength[track] && tracks[track][k].time <= time; ++k)
        value = tracks[track][k].value;
    return value;
}

// Entries in the order the show reaches them, so that an effect that takes a
// measurement on its first draw takes it from the entry the show draws first.
std::vector<const TimelineEntry*> entriesByStart()
{
    std::vector<const TimelineEntry*> entries;
    for (int l = 0; l <= highestLayer; ++l)
        for (int k = 0; k < layerLength[l]; ++k)
            entries.push_back(&layers[l][k]);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TimelineEntry* a, const TimelineEntry* b) { return a->start < b->start; });
    return entries;
}

} // namespace

void warmUpTimeline()
{
    // Eight moments reach each of the phases of an effect that splits its
    // entry into eighths. They keep clear of the first and the last half
    // second, where an effect may flash at random.
    constexpr int moments = 8;
    constexpr uint32_t edgeMs = 500;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    // The pictures are not wanted, only the states: they shrink to one pixel
    // (scissoring alone does not stop every kind of drawing).
    glViewport(0, 0, 1, 1);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 0, 0);
    for (const TimelineEntry* entry : entriesByStart()) {
        uint32_t length = entry->end - entry->start;
        if (length <= 2 * edgeMs)
            continue;
        for (int m = 0; m < moments; ++m) {
            auto elapsed = static_cast<int>(edgeMs +
                                            static_cast<uint64_t>(length - 2 * edgeMs) * (2 * m + 1) / (2 * moments));
            // As the frame loop computes it.
            auto progress = static_cast<float>(static_cast<double>(elapsed) / static_cast<double>(length));
            entry->effect->draw(elapsed, progress, trackValueAt(entry->track, entry->start + elapsed));
        }
    }
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
