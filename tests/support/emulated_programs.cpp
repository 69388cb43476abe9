#include "emulated_programs.h"

#include <cstdlib>
#include <limits.h>
#include <unistd.h>
#include <vector>

#ifndef VEXA_TEST_EMULATOR
#define VEXA_TEST_EMULATOR ""
#endif

namespace {

bool emulated()
{
    return VEXA_TEST_EMULATOR[0] != '\0';
}

} // namespace

void setProgramEnvironment(const std::string& name, const std::string& value)
{
    if (!emulated() || name != "LD_PRELOAD") {
        setenv(name.c_str(), value.c_str(), 1);
        return;
    }
    // qemu-user sets the variables listed in QEMU_SET_ENV for the program it
    // runs; the host's loader would refuse a 32-bit library in every process.
    std::string list = "LD_PRELOAD=" + value;
    if (const char* others = std::getenv("QEMU_SET_ENV"); others != nullptr && *others != '\0')
        list = std::string(others) + "," + list;
    setenv("QEMU_SET_ENV", list.c_str(), 1);
}

void execThisProgramAgain(char** argv)
{
    if (!emulated()) {
        execv("/proc/self/exe", argv);
        return;
    }
    // The emulator answers /proc/self/exe with the emulated program's path.
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return;
    self[n] = '\0';
    std::vector<char*> args{const_cast<char*>(VEXA_TEST_EMULATOR), self};
    for (char** a = argv + 1; *a != nullptr; ++a)
        args.push_back(*a);
    args.push_back(nullptr);
    execv(VEXA_TEST_EMULATOR, args.data());
}
