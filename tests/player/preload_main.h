// Test programs that must run with a library preloaded (a pretend sound card,
// ALSA's OSS emulation) start themselves again with it in LD_PRELOAD.
#pragma once

// Runs the program again with library preloaded unless it already is;
// returns only in the process that has it. marker: an environment variable
// set for the second run.
void runWithPreload(char** argv, const char* library, const char* marker);
