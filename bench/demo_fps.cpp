// Frames per second of single effects at 640 x 480, and the time from the
// program's start to its first finished frame, with the demo's own content.
//
//   demo-fps DEMO_DIR [SECONDS_PER_EFFECT] [EFFECT[:VALUE]...]
//   demo-fps DEMO_DIR --show
//
// Without effect names it measures every registered effect with value 0.
// With --show it plays the whole timeline of config.ini on the wall clock,
// as the demo does, and reports the slowest and the median frame rate.
// Run it under the display to be measured (xvfb-run for the software
// renderer). It prints figures; it never passes or fails.
#include "all_effects.h"
#include "config.h"
#include "demo.h"
#include "effect.h"
#include "timeline.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

static double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

static void drawFrame(Effect* effect, int elapsedMs, float progress, float value)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (effect)
        effect->draw(elapsedMs, progress, value);
    glutSwapBuffers();
    glFinish();
    glutMainLoopEvent();
}

// Plays the configured timeline as the demo's frame loop does and returns the
// frame times in seconds.
static std::vector<double> playShow()
{
    std::vector<double> frameTimes;
    Clock::time_point begin = Clock::now();
    Clock::time_point last = begin;
    for (;;) {
        uint32_t now = static_cast<uint32_t>(secondsSince(begin) * 1000);
        if (now > demoEnd)
            break;
        advanceTimeline(now);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawTimeline(now);
        glutSwapBuffers();
        glFinish();
        glutMainLoopEvent();
        Clock::time_point end = Clock::now();
        frameTimes.push_back(std::chrono::duration<double>(end - last).count());
        last = end;
    }
    return frameTimes;
}

static void reportShow(std::vector<double> frameTimes)
{
    if (frameTimes.empty())
        return;
    std::sort(frameTimes.begin(), frameTimes.end());
    double median = frameTimes[frameTimes.size() / 2];
    std::fprintf(stderr, "whole show: %zu frames over %.1f s; median %.1f frames/s, slowest frame %.1f frames/s\n",
                 frameTimes.size(), demoEnd / 1000.0, 1 / median, 1 / frameTimes.back());
}

int main(int argc, char** argv)
{
    Clock::time_point start = Clock::now();
    if (argc < 2 || chdir(argv[1]) != 0) {
        std::fprintf(stderr, "usage: demo-fps DEMO_DIR [SECONDS_PER_EFFECT] [EFFECT[:VALUE]...]\n");
        return 2;
    }
    bool show = argc > 2 && std::string(argv[2]) == "--show";
    double seconds = argc > 2 && !show ? std::atof(argv[2]) : 5.0;
    std::vector<std::string> names;
    for (int i = show ? argc : 3; i < argc; ++i)
        names.emplace_back(argv[i]);

    int glutArgc = 1;
    initWindow(&glutArgc, argv, demoBanner, deleteAllEffects);
    glutReshapeWindow(640, 480);
    createAllEffects();
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    bool configured = readConfig("config.ini");
    if (quiet)
        std::fflush(stdout);
    if (!configured) {
        std::fprintf(stderr, "no config.ini in %s\n", argv[1]);
        return 1;
    }
    glutMainLoopEvent();
    onReshape(640, 480);
    drawFrame(nullptr, 0, 0.0f, 0.0f);
    std::fprintf(stderr, "start to first frame: %.1f ms\n", secondsSince(start) * 1000);

    if (show) {
        reportShow(playShow());
        deleteAllEffects();
        return 0;
    }
    if (names.empty())
        for (int i = 0; i < effectRegistry.count; ++i)
            names.push_back(effectRegistry.names[i]);
    for (const std::string& run : names) {
        std::string name = run.substr(0, run.find(':'));
        float value = run.find(':') == std::string::npos ? 0.0f : std::strtof(run.c_str() + run.find(':') + 1, nullptr);
        Effect* effect = findEffect(name.c_str());
        if (!effect) {
            std::fprintf(stderr, "%s: no such effect\n", name.c_str());
            continue;
        }
        int frames = 0;
        Clock::time_point begin = Clock::now();
        double elapsed = 0;
        while ((elapsed = secondsSince(begin)) < seconds) {
            int ms = static_cast<int>(elapsed * 1000);
            drawFrame(effect, ms, static_cast<float>(elapsed / seconds), value);
            ++frames;
        }
        std::fprintf(stderr, "%-12s %7.1f frames/s (%d frames in %.1f s at 640x480)\n", run.c_str(), frames / elapsed,
                     frames, elapsed);
    }
    deleteAllEffects();
    return 0;
}
