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
    unsigned track, layer;
    while (std::fgets(line, sizeof line, config)) {
        if (line[0] == '[')
            inEffects = std::string(line).starts_with("[effects]");
        if (inEffects && line[0] != ';' &&
            std::sscanf(line, "%79s %lu %lu %x %x", name, &entry.start, &entry.end, &track, &layer) == 5) {
            entry.name = name;
            entries.push_back(entry);
        }
    }
    std::fclose(config);
    return entries;
}

std::vector<EntryLight> measureShow(const std::string& configPath, const std::string& framesDir, int fps)
{
    std::vector<EntryLight> entries = readEntries(configPath);
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
        int run = 0;
        for (unsigned long n = (entry.start * fps + 999) / 1000; n * 1000 <= entry.end * fps; ++n) {
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
