#include "preload_main.h"

#include "emulated_programs.h"

#include <cstdio>
#include <cstdlib>
#include <string>

void runWithPreload(char** argv, const char* library, const char* marker)
{
    if (std::getenv(marker) != nullptr)
        return;
    std::string preload = library;
    if (const char* others = std::getenv("LD_PRELOAD"); others != nullptr && *others != '\0')
        preload += std::string(":") + others;
    setProgramEnvironment("LD_PRELOAD", preload);
    setenv(marker, "1", 1);
    execThisProgramAgain(argv);
    std::perror("cannot run the test again with its preloaded library");
    std::exit(127);
}
