// show-light CONFIG FRAMES FPS: prints, per timeline entry of a captured
// show, its lit frames and its longest near-black run.
#include "show_light.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4 || std::atoi(argv[3]) <= 0) {
        std::fprintf(stderr, "usage: show-light CONFIG FRAMES FPS\n");
        return 2;
    }
    int frames = 0, dark = 0;
    for (const EntryLight& e : measureShow(argv[1], argv[2], std::atoi(argv[3]))) {
        std::printf("%-10s %6lu-%6lu  lit %3d/%3d  longest dark %5d ms at %lu%s\n", e.name.c_str(), e.start, e.end,
                    e.lit, e.frames, e.darkestRunMs, e.darkRunAt, e.unreadable ? "  (frames missing)" : "");
        frames += e.frames;
        dark += e.frames - e.lit;
    }
    std::printf("entry frames %d, near-black %d\n", frames, dark);
    return 0;
}
