// Frames per second of single effects at 640 x 480, and the time from the
// program's start to its first finished frame, with the demo's own content.
//
//   demo-fps DEMO_DIR [SECONDS_PER_EFFECT] [EFFECT[:VALUE]...]
//   demo-fps DEMO_DIR --show
//
// Without effect names it measures every registered effect with value 0.
// With --show it plays the whole timeline of config.ini on the wall clock,
// as the demo does, and reports the slowest and the median frame rate and
// the demo times of the slowest frames.
// The start-up line splits the time to the first frame into its steps; the
// image decoding is timed again on its own after the first frame. Then come
// the two steps that the demo takes after its first frame is possible and
// before its clock starts: the renderer's warm-up and the start of the
// soundtrack's player.
// Run it under the display to be measured (xvfb-run for the software
// renderer). It prints figures; it never passes or fails.
#include "all_effects.h"
#include "config.h"
#include "demo.h"
#include "effect.h"
#include "images.h"
#include "soundtrack.h"
#include "timeline.h"
#include "warm_up.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
constexpr const char* cpuClockName = "wall"; // clock() counts wall time there
#else
constexpr const char* cpuClockName = "CPU";
#endif

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
struct ShowFrame {
    double seconds;    // from the end of the frame before
    double cpuSeconds; // the process's processor time in the same span
    uint32_t demoMs;   // the demo time it drew
};

static std::vector<ShowFrame> playShow()
{
    std::vector<ShowFrame> frames;
    Clock::time_point begin = Clock::now();
    Clock::time_point last = begin;
    std::clock_t lastCpu = std::clock();
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
        std::clock_t cpu = std::clock();
        frames.push_back({std::chrono::duration<double>(end - last).count(),
                          static_cast<double>(cpu - lastCpu) / CLOCKS_PER_SEC, now});
        last = end;
        lastCpu = cpu;
    }
    return frames;
}

// Prints the times and demo times of the slowest frames by a measure.
static void reportSlowest(std::vector<ShowFrame>& frames, double ShowFrame::*measure, const char* what)
{
    std::sort(frames.begin(), frames.end(),
              [measure](const ShowFrame& a, const ShowFrame& b) { return a.*measure > b.*measure; });
    std::fprintf(stderr, "slowest frames by %s:", what);
    for (size_t i = 0; i < frames.size() && i < 8; ++i)
        std::fprintf(stderr, " %.1f ms at %.3f s", 1000 * (frames[i].*measure), frames[i].demoMs / 1000.0);
    std::fprintf(stderr, "\n");
}

// By the wall clock, and by the processor time alone: a frame that is slow
// only by the wall clock waited for other work on the machine.
static void reportShow(std::vector<ShowFrame> frames)
{
    if (frames.empty())
        return;
    std::vector<double> seconds;
    for (const ShowFrame& f : frames)
        seconds.push_back(f.seconds);
    std::sort(seconds.begin(), seconds.end());
    std::fprintf(stderr, "whole show: %zu frames over %.1f s; median %.1f frames/s, slowest frame %.1f frames/s\n",
                 frames.size(), demoEnd / 1000.0, 1 / seconds[seconds.size() / 2], 1 / seconds.back());
    reportSlowest(frames, &ShowFrame::seconds, "the wall clock");
    reportSlowest(frames, &ShowFrame::cpuSeconds, cpuClockName == std::string("CPU") ? "processor time" : "wall time");
}

static double millisecondsSince(Clock::time_point start)
{
    return secondsSince(start) * 1000;
}

// Decodes every image of the table again, as the configuration did.
static double imageDecodingMs()
{
    Clock::time_point begin = Clock::now();
    for (int i = 0; i < imageCount; ++i)
        freePng(loadPng((imagePath + images[i].name).c_str()));
    return millisecondsSince(begin);
}

// Starts and ends the soundtrack's player as the demo starts it before its
// first frame; returns the start's milliseconds.
static double soundtrackStartMs()
{
    Clock::time_point begin = Clock::now();
    Ass* player = new Ass;
    player->open(musicPath);
    player->play();
    double started = millisecondsSince(begin);
    player->stop();
    delete player;
    return started;
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
    double windowMs = millisecondsSince(start);
    createAllEffects();
    double effectsMs = millisecondsSince(start);
    std::FILE* quiet = std::freopen("/dev/null", "w", stdout);
    bool configured = readConfig("config.ini");
    double configMs = millisecondsSince(start);
    if (quiet)
        std::fflush(stdout);
    if (!configured) {
        std::fprintf(stderr, "no config.ini in %s\n", argv[1]);
        return 1;
    }
    glutMainLoopEvent();
    onReshape(640, 480);
    drawFrame(nullptr, 0, 0.0f, 0.0f);
    double firstMs = millisecondsSince(start);
    std::fprintf(stderr, "start to first frame: %.1f ms\n", firstMs);
    std::fprintf(stderr,
                 "  window %.1f ms, effects %.1f ms, config.ini and %d images %.1f ms (decoding alone %.1f ms), "
                 "first frame %.1f ms\n",
                 windowMs, effectsMs - windowMs, imageCount, configMs - effectsMs, imageDecodingMs(),
                 firstMs - configMs);
    // The demo prepares the renderer for its timeline and starts the music
    // before its clock starts and it draws the show's first frame.
    Clock::time_point warmUpBegin = Clock::now();
    warmUpTimeline();
    double warmUpMs = millisecondsSince(warmUpBegin);
    double playerMs = soundEnabled ? soundtrackStartMs() : 0;
    std::fprintf(stderr,
                 "start to the show's first frame: %.1f ms (the renderer's warm-up %.1f ms, the soundtrack's "
                 "player's start %.1f ms)\n",
                 firstMs + warmUpMs + playerMs, warmUpMs, playerMs);

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
        std::clock_t cpuBegin = std::clock();
        double elapsed = 0;
        while ((elapsed = secondsSince(begin)) < seconds) {
            int ms = static_cast<int>(elapsed * 1000);
            drawFrame(effect, ms, static_cast<float>(elapsed / seconds), value);
            ++frames;
        }
        // The process's processor time, the renderer's threads included: on a
        // shared machine a steadier measure of the work than the wall clock.
        double cpuMs = static_cast<double>(std::clock() - cpuBegin) * 1000 / CLOCKS_PER_SEC / frames;
        std::fprintf(stderr, "%-12s %7.1f frames/s (%d frames in %.1f s at 640x480; %s %.2f ms per frame)\n",
                     run.c_str(), frames / elapsed, frames, elapsed, cpuClockName, cpuMs);
    }
    deleteAllEffects();
    return 0;
}
