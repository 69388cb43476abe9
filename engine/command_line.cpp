#include "command_line.h"

#include "capture.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The options that freeglut's glutInit takes, and whether each has a value.
struct GlutOption {
    const char* name;
    bool value;
};
constexpr GlutOption glutOptions[] = {{"-display", true}, {"-geometry", true}, {"-iconic", false}, {"-indirect", false},
                                      {"-direct", false}, {"-gldebug", false}, {"-sync", false}};

std::string programName(const char* path)
{
    std::string name = path != nullptr ? path : "vexa";
    if (size_t slash = name.find_last_of("/\\"); slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.size() > 4 && (name.ends_with(".exe") || name.ends_with(".EXE")))
        name.resize(name.size() - 4);
    return name;
}

void printUsage(std::FILE* to, const std::string& program)
{
    std::fprintf(to,
                 "Usage: %s [--capture DIR [--fps N]] [GLUT options]\n"
                 "Shows the demo that config.ini in the working directory describes.\n"
                 "\n"
                 "  --capture DIR  run on a fixed-step clock and write every frame as\n"
                 "                 DIR/frame-NNNNN.png (and the music as DIR/soundtrack.wav)\n"
                 "  --fps N        frames per second of the capture, 1 to 1000 (default 25)\n"
                 "  -h, --help     show this help and exit\n"
                 "\n"
                 "Other options go to GLUT: -display DISPLAY, -geometry WxH+X+Y, -iconic,\n"
                 "-indirect, -direct, -gldebug, -sync.\n",
                 program.c_str());
}

} // namespace

int handleCommandLine(int* argc, char** argv)
{
    std::string program = programName(*argc > 0 ? argv[0] : nullptr);
    for (int i = 1; i < *argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            printUsage(stdout, program);
            return 0;
        }
    if (!parseCaptureOptions(argc, argv))
        return 2;
    for (int i = 1; i < *argc; ++i) {
        if (argv[i][0] != '-')
            continue; // GLUT leaves words that are no option alone
        const GlutOption* known = nullptr;
        for (const GlutOption& o : glutOptions)
            if (std::strcmp(argv[i], o.name) == 0)
                known = &o;
        if (known == nullptr) {
            std::fprintf(stderr, "%s: unknown option %s\n", program.c_str(), argv[i]);
            printUsage(stderr, program);
            return 2;
        }
        if (known->value && ++i == *argc) {
            std::fprintf(stderr, "%s: option %s needs a value\n", program.c_str(), known->name);
            return 2;
        }
    }
    return prepareCaptureDirectory() ? -1 : 2;
}
