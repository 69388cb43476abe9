#include "timeline.h"

#include "effect.h"

#include <algorithm>
#include <cstdio>

TimelineEntry layers[layerCount][entriesPerLayer];
int layerLength[layerCount];
int layerCursor[layerCount];
int highestLayer;
ParameterKey tracks[trackCount][keysPerTrack];
int trackLength[trackCount];
int trackCursor[trackCount];
int highestTrack;
uint32_t demoEnd;

void resetTimeline()
{
    std::fill_n(layerLength, layerCount, 0);
    std::fill_n(trackLength, trackCount, 0);
    highestLayer = 0;
    highestTrack = 0;
    demoEnd = 0;
    resetTimelineCursors();
}

void resetTimelineCursors()
{
    std::fill_n(layerCursor, layerCount, -1);
    std::fill_n(trackCursor, trackCount, -1);
}

bool addTimelineEntry(const char* name, uint32_t start, uint32_t end, uint32_t track, uint32_t layer)
{
    Effect* effect = findEffect(name);
    if (!effect) {
        std::printf("Effect name %s dus not exist", name);
        return false;
    }
    if (layer >= layerCount) {
        std::printf("layer %x is out of range (0 to f): %s entry dropped\n", layer, name);
        return false;
    }
    if (track >= trackCount) {
        std::printf("track %x is out of range (0 to f): %s entry dropped\n", track, name);
        return false;
    }
    if (layerLength[layer] >= entriesPerLayer) {
        std::printf("layer %x is full (%d entries): %s entry dropped\n", layer, entriesPerLayer, name);
        return false;
    }

    highestLayer = std::max(highestLayer, static_cast<int>(layer));
    demoEnd = std::max(demoEnd, end);

    TimelineEntry* list = layers[layer];
    int length = layerLength[layer];
    // Entries with an equal start stay before the new one.
    int p = 0;
    while (p < length && list[p].start <= start)
        ++p;
    if (p < length) {
        // Inserted between existing entries: the one before stops where the
        // new one starts, and the new one stops where the next one starts.
        if (p > 0 && list[p - 1].end > start)
            list[p - 1].end = start;
        if (end > list[p].start)
            end = list[p].start;
    }
    std::copy_backward(list + p, list + length, list + length + 1);
    list[p] = TimelineEntry{effect, start, end, static_cast<int32_t>(track)};
    ++layerLength[layer];
    return true;
}

bool addParameterKey(float value, uint32_t time, uint32_t track)
{
    if (track >= trackCount) {
        std::printf("track %x is out of range (0 to f): key dropped\n", track);
        return false;
    }
    if (trackLength[track] >= keysPerTrack) {
        std::printf("track %x is full (%d keys): key dropped\n", track, keysPerTrack);
        return false;
    }
    highestTrack = std::max(highestTrack, static_cast<int>(track));

    ParameterKey* list = tracks[track];
    int length = trackLength[track];
    int p = 0;
    while (p < length && list[p].time <= time)
        ++p;
    std::copy_backward(list + p, list + length, list + length + 1);
    list[p] = ParameterKey{value, time};
    ++trackLength[track];
    return true;
}

void advanceTimeline(uint32_t demoTime)
{
    for (int t = 0; t <= highestTrack; ++t) {
        int next = trackCursor[t] + 1;
        if (next < trackLength[t] && tracks[t][next].time <= demoTime)
            trackCursor[t] = next;
    }
    for (int l = 0; l <= highestLayer; ++l) {
        int next = layerCursor[l] + 1;
        if (next < layerLength[l] && layers[l][next].start <= demoTime)
            layerCursor[l] = next;
    }
}

float trackValue(int track)
{
    if (track < 0 || track >= trackCount || trackCursor[track] < 0)
        return 0.0f;
    return tracks[track][trackCursor[track]].value;
}

void drawTimeline(uint32_t demoTime)
{
    for (int l = 0; l <= highestLayer; ++l) {
        int k = layerCursor[l];
        if (k < 0)
            continue;
        const TimelineEntry& entry = layers[l][k];
        if (demoTime > entry.end)
            continue;
        int32_t elapsedMs = static_cast<int32_t>(demoTime - entry.start);
        int32_t length = static_cast<int32_t>(entry.end - entry.start);
        // A zero-length entry gives 0 / 0: a quiet NaN, never a trap.
        float progress = static_cast<float>(static_cast<double>(elapsedMs) / static_cast<double>(length));
        entry.effect->draw(elapsedMs, progress, trackValue(entry.track));
    }
}
