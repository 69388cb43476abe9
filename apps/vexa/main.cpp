// The demo (vexa-linux, vexa-win32). Reads config.ini from the working
// directory, shows its timeline of effects and exits at the end of it or on
// Escape.
#include "all_effects.h"
#include "command_line.h"
#include "config.h"
#include "demo.h"
#ifndef _WIN32
#include "module_path.h"
#endif

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (int status = handleCommandLine(&argc, argv); status >= 0)
        return status;
    initWindow(&argc, argv, demoBanner, deleteAllEffects);
    std::printf("party version\n");
    createAllEffects();
    if (!readConfig("config.ini")) {
        deleteAllEffects();
        return 1;
    }
#ifndef _WIN32
    // The Linux player has no WAVE codec of its own; it loads the module.
    if (std::string wave = find_module_library("libmelvox-wave.so"); !wave.empty())
        soundtrackCodecs.push_back(wave);
#endif
    runDemo();
    return 0;
}
