// vexa-linux: the demo. Reads config.ini from the working directory, shows
// its timeline of effects and exits at the end of it or on Escape.
#include "all_effects.h"
#include "capture.h"
#include "config.h"
#include "demo.h"
#include "module_path.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (!parseCaptureOptions(&argc, argv))
        return 2;
    initWindow(&argc, argv, demoBanner, deleteAllEffects);
    std::printf("party version\n");
    createAllEffects();
    if (!readConfig("config.ini")) {
        deleteAllEffects();
        return 1;
    }
    if (std::string wave = find_module_library("libmelvox-wave.so"); !wave.empty())
        soundtrackCodecs.push_back(wave);
    runDemo();
    return 0;
}
