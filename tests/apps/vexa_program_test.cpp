// Runs the real vexa-linux program in a scratch directory, as a user would.
#include "images.h"
#include "temp_dir.h"

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

class VexaProgram {
public:
    VexaProgram(const TempDir& dir, std::vector<std::string> arguments) : dir(dir)
    {
        pid = fork();
        if (pid == 0) {
            if (chdir(dir.path().c_str()) != 0)
                _exit(126);
            int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(VEXA_BINARY)};
            for (std::string& a : arguments)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(VEXA_BINARY, argv.data());
            _exit(127);
        }
    }
    ~VexaProgram()
    {
        if (running()) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

    bool running()
    {
        if (status >= 0)
            return false;
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return false;
        }
        return true;
    }
    // The exit status, or -1 if it still runs after the limit.
    int wait(std::chrono::seconds limit)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(20ms);
        return status;
    }
    std::string out() const { return readFile(dir.file("stdout.txt")); }
    std::string err() const { return readFile(dir.file("stderr.txt")); }

private:
    const TempDir& dir;
    pid_t pid = -1;
    int status = -1;
};

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
    VexaProgram vexa(dir, {});
    const std::string find = "xdotool search --sync --onlyvisible --name 'Vexa by OrB - nordmeet 2001' ";
    ASSERT_EQ(shell("timeout 20 " + find + "windowfocus --sync key a space Return"), 0);
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(vexa.running());
    // The window is gone before the key is released, so xdotool may report
    // an error for the release: only the program's exit counts.
    shell("timeout 20 " + find + "windowfocus --sync key Escape 2>/dev/null");
    EXPECT_EQ(vexa.wait(20s), 0) << vexa.err();
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
    // The swarm's spheres are the only saturated colours of the picture:
    // the balls are white and grey.
    int coloured = 0;
    for (uint32_t i = 0; i < first->width * first->height; ++i) {
        const unsigned char* p = first->pixels + 3 * i;
        int high = std::max({p[0], p[1], p[2]}), low = std::min({p[0], p[1], p[2]});
        coloured += high - low > 60;
    }
    EXPECT_GT(coloured, 30);
    freePng(first);
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

}  // namespace
