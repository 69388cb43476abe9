// Runs the real vexa-linux program in a scratch directory, as a user would.
#include "frame_pixels.h"
#include "images.h"
#include "show_light.h"
#include "temp_dir.h"
#include "vexa_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

int shell(const std::string& command)
{
    return std::system(command.c_str());
}

constexpr const char* oneSecondOfBobel = "[demo]\nsound = false\n[effects]\nbobel 0 1000 0 0\n";

TEST(VexaProgram, OneSecondDemoRunsToItsEndAndExitsZero)
{
    TempDir dir;
    dir.write("config.ini", oneSecondOfBobel);
    VexaProgram vexa(dir, {});
    ASSERT_EQ(vexa.wait(30s), 0) << vexa.err();
    std::string out = vexa.out();
    EXPECT_EQ(out.rfind("party version\n", 0), 0u) << out;
    // No [images] section: every slot of every effect is reported.
    EXPECT_NE(out.find("yo men, me koed not lood bobel2.png\n"
                       "yo men, me koed not lood bobel2.png\n"
                       "yo man, me koed not lood bobel2.png\n"),
              std::string::npos);
    EXPECT_NE(out.find("yo man, me koed not lood bubble2.png\n"), std::string::npos);
}

TEST(VexaProgram, EmptyTimelineEndsAtOnce)
{
    TempDir dir;
    dir.write("config.ini", "; nothing to show\n");
    VexaProgram vexa(dir, {});
    EXPECT_EQ(vexa.wait(30s), 0);
}

TEST(VexaProgram, MissingConfigIsReportedAndFails)
{
    TempDir dir;
    VexaProgram vexa(dir, {});
    EXPECT_EQ(vexa.wait(30s), 1);
    EXPECT_NE(vexa.out().find("cannot open config.ini"), std::string::npos);
}

TEST(VexaProgram, EscapeEndsTheDemoOtherKeysDoNot)
{
    TempDir dir;
    dir.write("config.ini", "[demo]\nsound = false\n[effects]\nbubble 0 120000 0 0\n");
    // A display of its own, so that the keys reach no other demo window.
    // The window is gone before Escape is released, so xdotool may report
    // an error for the release: only the program's exit counts. Exit 3 says
    // the demo ended on an ordinary key.
    const std::string find = "xdotool search --sync --onlyvisible --name 'Vexa by OrB - nordmeet 2001' ";
    dir.write("keys.sh", "cd '" + dir.path() + "' || exit 4\n" + VEXA_BINARY +
                             " > stdout.txt 2> stderr.txt &\n"
                             "demo=$!\n" +
                             find +
                             "windowfocus --sync key a space Return || exit 5\n"
                             "sleep 0.5\n"
                             "kill -0 $demo || exit 3\n" +
                             find +
                             "windowfocus --sync key Escape 2>/dev/null\n"
                             "wait $demo\n");
    int status = shell("timeout 60 xvfb-run -a -s '-screen 0 640x480x24' sh '" + dir.file("keys.sh") + "'");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(dir.file("stderr.txt"));
    EXPECT_EQ(readFile(dir.file("stdout.txt")).rfind("party version\n", 0), 0u);
}

TEST(VexaProgram, CaptureWritesEveryFrameOfTheTimeline)
{
    TempDir dir;
    dir.write("config.ini", oneSecondOfBobel);
    VexaProgram vexa(dir, {"--capture", "frames", "--fps", "10"});
    ASSERT_EQ(vexa.wait(60s), 0) << vexa.err();
    // Frames at 0, 100, ... 1000 ms: the frame at the end time is drawn too.
    int frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("frames")))
        frames += entry.path().filename().string().starts_with("frame-");
    EXPECT_EQ(frames, 11);

    PngImage* first = loadPng(dir.file("frames/frame-00000.png").c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width, 640u);
    EXPECT_EQ(first->height, 480u);
    freePng(first);
    // The swarm's spheres are the only saturated colours of the picture:
    // the balls are white and grey.
    EXPECT_GT(saturatedPixels(dir.file("frames/frame-00000.png")), 30);
}

TEST(VexaProgram, MalformedCaptureOptionsAreRefused)
{
    TempDir dir;
    dir.write("config.ini", oneSecondOfBobel);
    VexaProgram noValue(dir, {"--capture"});
    EXPECT_EQ(noValue.wait(30s), 2);
    VexaProgram badFps(dir, {"--capture", "frames", "--fps", "0"});
    EXPECT_EQ(badFps.wait(30s), 2);
    EXPECT_NE(badFps.err().find("--fps wants a whole number"), std::string::npos);
}

TEST(DemoShow, CaptureRunsToTheEndAndNoEntryGoesDarkForLong)
{
    TempDir dir;
    constexpr int fps = 4;
    VexaProgram vexa(dir, {"--capture", dir.file("frames"), "--fps", std::to_string(fps)}, DEMO_DIR);
    ASSERT_EQ(vexa.wait(600s), 0) << vexa.err();
    // Every image loads, every slot resolves, every line reads.
    EXPECT_EQ(vexa.out(), "party version\n");
    EXPECT_EQ(vexa.err(), "");

    std::vector<EntryLight> entries = measureShow(DEMO_DIR "/config.ini", dir.file("frames"), fps);
    EXPECT_GT(entries.size(), 19u);
    unsigned long lastEnd = 0;
    for (const EntryLight& e : entries) {
        lastEnd = std::max(lastEnd, e.end);
        EXPECT_FALSE(e.unreadable) << e.name << " " << e.start;
        // A near-black stretch of half a second is a cut on the music; a
        // longer one is a show that has lost its subject.
        EXPECT_LE(e.darkestRunMs, 500) << e.name << " " << e.start << "-" << e.end << " dark from " << e.darkRunAt;
        EXPECT_GE(e.lit * 10, e.frames * 9) << e.name << " " << e.start << "-" << e.end;
    }
    // Frames from 0 up to and including the end of the show.
    char last[48];
    std::snprintf(last, sizeof last, "frames/frame-%05lu.png", lastEnd * fps / 1000);
    EXPECT_TRUE(std::filesystem::exists(dir.file(last)));
    std::snprintf(last, sizeof last, "frames/frame-%05lu.png", lastEnd * fps / 1000 + 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file(last)));
}

} // namespace
