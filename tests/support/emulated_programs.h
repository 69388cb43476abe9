// The build's own programs started from a test. Where they need an emulator
// (VEXA_TEST_EMULATOR: the i386 build runs under qemu-i386, which the kernel
// is not told of), a test cannot exec them or itself directly, and a library
// to preload belongs to the emulated program, not to the emulator or to a
// shell between them. Programs named by a path that the build gives
// (vexa_program_path) already run through the emulator.
#pragma once

#include <string>

// Sets an environment variable for the build's programs started from here on;
// LD_PRELOAD reaches the emulated program only.
void setProgramEnvironment(const std::string& name, const std::string& value);

// Replaces this process with a new run of this test program with the same
// arguments; returns only when that cannot start.
void execThisProgramAgain(char** argv);
