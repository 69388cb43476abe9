// The demo's skeleton: GLUT window and callbacks, the demo clock, and the two
// ways the demo ends (Escape, or the end of the timeline).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Ass;

extern int windowId;
extern uint32_t startTime;
extern uint32_t demoTime;
extern void (*exitHook)();
// The soundtrack link; exists only while sound is enabled.
extern Ass* soundtrack;
// Codec module libraries that the soundtrack's player loads before it opens
// the music (the WAVE codec, so that the music may be a WAVE file).
extern std::vector<std::string> soundtrackCodecs;

constexpr const char* demoBanner = "Vexa by OrB - nordmeet 2001";

// Wall-clock milliseconds (seconds since 1970 times 1000 plus milliseconds,
// modulo 2^32); only differences are used.
uint32_t nowMs();

void initWindow(int* argc, char** argv, const char* title, void (*hook)());
// Sizes the window, starts the clock and runs the GLUT main loop.
void runDemo();
// The orderly exit: releases window, textures and effects; never returns.
[[noreturn]] void quitDemo();

void onDisplay();
void onIdle();
void onReshape(int width, int height);
void onKeyboard(unsigned char key, int x, int y);
