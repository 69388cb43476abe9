#include "show_light.h"

#include "frame_pixels.h"

#include <algorithm>
#include <cstdio>

bool nearBlack(const std::string& framePath)
{
    // 4% grey: a channel sum above 3 * 0.04 * 255.
    return litShare(framePath, 30) < 0.005;
}

static std::vector<EntryLight> readEntries(const std::string& configPath)
{
    std::vector<EntryLight> entries;
    std::FILE* config = std::fopen(configPath.c_str(), "r");
    if (!config)
        return entries;
    char line[80], name[80];
    bool inEffects = false;
    EntryLight entry;
    unsigned track;
    while (std::fgets(line, sizeof line, config)) {
        if (line[0] == '[')
            inEffects = std::string(line).starts_with("[effects]");
        if (inEffects && line[0] != ';' &&
            std::sscanf(line, "%79s %lu %lu %x %x", name, &entry.start, &entry.end, &track, &entry.layer) == 5) {
            entry.name = name;
            entries.push_back(entry);
        }
    }
    std::fclose(config);
    return entries;
}

// A layer draws one entry at a time: an entry gives way to the next one on
// its layer (in start order, the later line first among equal starts) as
// soon as that one starts, whatever its own end says.
static void findDrawnSpans(std::vector<EntryLight>& entries)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        EntryLight& e = entries[i];
        e.drawnUntil = e.end;
        for (size_t j = 0; j < entries.size(); ++j) {
            const EntryLight& next = entries[j];
            bool follows = next.start > e.start || (next.start == e.start && j > i);
            if (j != i && next.layer == e.layer && follows && next.start <= e.drawnUntil)
                e.drawnUntil = next.start > 0 ? next.start - 1 : 0;
        }
    }
}

std::vector<EntryLight> measureShow(const std::string& configPath, const std::string& framesDir, int fps)
{
    std::vector<EntryLight> entries = readEntries(configPath);
    findDrawnSpans(entries);
    // Frame n shows demo time n * 1000 / fps; each frame is judged once.
    std::vector<int> dark; // -1 unknown, 0 lit, 1 near-black
    auto isDark = [&](unsigned long n) {
        if (n >= dark.size())
            dark.resize(n + 1, -1);
        if (dark[n] < 0) {
            char file[32];
            std::snprintf(file, sizeof file, "/frame-%05lu.png", n);
            std::string path = framesDir + file;
            dark[n] = litShare(path) < 0 ? 2 : nearBlack(path);
        }
        return dark[n];
    };
    for (EntryLight& entry : entries) {
        if (entry.drawnUntil < entry.start)
            continue; // given way at once to an entry with the same start
        int run = 0;
        for (unsigned long n = (entry.start * fps + 999) / 1000; n * 1000 <= entry.drawnUntil * fps; ++n) {
            int state = isDark(n);
            ++entry.frames;
            entry.unreadable |= state == 2;
            run = state == 1 ? run + 1 : 0;
            entry.lit += state == 0;
            if (run * 1000 / fps > entry.darkestRunMs) {
                entry.darkestRunMs = run * 1000 / fps;
                entry.darkRunAt = (n + 1 - run) * 1000 / fps;
            }
        }
    }
    return entries;
}
