// Capture mode: the demo runs on a fixed-step clock and writes every frame as
// a PNG file, so that whole frames can be looked at without a screen.
#pragma once

#include <cstdint>
#include <string>

struct CaptureSettings {
    bool enabled = false;
    std::string directory;
    unsigned fps = 25;
    uint32_t frame = 0;  // number of frames written so far
    uint32_t frames = 0; // frames that the whole show takes
    uint64_t bytes = 0;  // written so far
};

extern CaptureSettings capture;

// Takes "--capture DIR" and "--fps N" out of the command line. Returns false
// (after a message on stderr) when they are malformed.
bool parseCaptureOptions(int* argc, char** argv);
// Creates the capture directory when it is missing; false (after a message)
// when it cannot be had.
bool prepareCaptureDirectory();
// Says up front how many frames a show that ends at endMs takes and about
// how much disk they (and the soundtrack) fill.
void announceCapture(uint32_t endMs, bool withSoundtrack);
// Says what was written, where, and the command that makes a video of it.
void reportCapture(bool withSoundtrack);
// The demo time of the frame about to be drawn.
uint32_t captureTime();
// Reads the back buffer and writes it as DIR/frame-NNNNN.png.
bool captureFrame(int width, int height);
// Writes tightly packed RGB rows (top row first) as a PNG file.
bool writeRgbPng(const char* path, const unsigned char* rgb, int width, int height);
