// The demo script in memory: 16 layers of timeline entries and 16 parameter
// tracks of keys, stepped once per frame and drawn layer by layer.
#pragma once

#include <cstdint>

class Effect;

struct TimelineEntry {
    Effect* effect;
    uint32_t start; // demo time at which the entry becomes current
    uint32_t end;   // last demo time at which it is drawn
    int32_t track;  // parameter track whose value the effect receives
};

struct ParameterKey {
    float value;
    uint32_t time;
};

constexpr int layerCount = 16;
constexpr int entriesPerLayer = 512;
constexpr int trackCount = 16;
constexpr int keysPerTrack = 512;

extern TimelineEntry layers[layerCount][entriesPerLayer];
extern int layerLength[layerCount];
extern int layerCursor[layerCount];
extern int highestLayer;
extern ParameterKey tracks[trackCount][keysPerTrack];
extern int trackLength[trackCount];
extern int trackCursor[trackCount];
extern int highestTrack;
extern uint32_t demoEnd;

// Empties every layer and track (the state before config.ini is read).
void resetTimeline();
// Puts every layer and track cursor before its first element.
void resetTimelineCursors();

// Both return false when the input is refused (with a message on stdout).
bool addTimelineEntry(const char* name, uint32_t start, uint32_t end, uint32_t track, uint32_t layer);
bool addParameterKey(float value, uint32_t time, uint32_t track);

// Moves each track cursor, then each layer cursor, at most one step.
void advanceTimeline(uint32_t demoTime);
// Calls draw on the live entry of every layer, lowest layer first.
void drawTimeline(uint32_t demoTime);
// The current value of a track: 0 while no key has taken effect.
float trackValue(int track);
