// Measures a capture of the whole show entry by entry: how many of each
// timeline entry's frames are lit and the longest run of near-black frames.
#pragma once

#include <string>
#include <vector>

struct EntryLight {
    std::string name;
    unsigned long start = 0, end = 0;
    int frames = 0;              // captured frames inside the entry
    int lit = 0;                 // of them, frames that are not near-black
    int darkestRunMs = 0;        // the longest run of near-black frames
    unsigned long darkRunAt = 0; // where that run starts (ms)
    bool unreadable = false;     // a frame of the entry was missing or broken
};

// A frame is near-black when fewer than 0.5% of its pixels are brighter than
// 4% grey.
bool nearBlack(const std::string& framePath);

// Reads the [effects] entries of configPath and measures each on the frames
// of framesDir, captured at fps frames per second.
std::vector<EntryLight> measureShow(const std::string& configPath, const std::string& framesDir, int fps);
