// Runs the real vexa-win32.exe under Wine in a scratch directory, as a user
// would: to the end of its timeline, in capture mode, and ended by Escape.
#include "frame_pixels.h"
#include "images.h"
#include "temp_dir.h"
#include "vexa_program.h"
#include "windows_command_line.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Console text as the program meant it: the C runtime writes "\n" as "\r\n"
// on Windows.
std::string lines(std::string text)
{
    std::erase(text, '\r');
    return text;
}

constexpr const char* oneSecondOfBobel = "[demo]\nsound = false\n[effects]\nbobel 0 1000 0 0\n";

std::string framePath(const TempDir& dir, unsigned frame)
{
    char name[40];
    std::snprintf(name, sizeof name, "frames/frame-%05u.png", frame);
    return dir.file(name);
}

int framesIn(const std::string& folder)
{
    int frames = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        frames += entry.path().filename().string().starts_with("frame-");
    return frames;
}

// The demo's images and their table (the [images] section of its config),
// so that a short timeline of our own shows the effects as the demo does.
std::string withDemoImages(const TempDir& dir)
{
    std::filesystem::copy(DEMO_DIR "/images", dir.file("images"));
    std::string config = readFile(DEMO_DIR "/config.ini");
    size_t images = config.find("\n[images]\n"), music = config.find("\n[music]\n");
    EXPECT_NE(images, std::string::npos);
    EXPECT_NE(music, std::string::npos);
    return "imagepath = images/\n" + config.substr(images + 1, music - images);
}

// The Linux path of a Windows path, by Wine's own conversion; empty if
// there is none (not under Wine).
std::string linuxPath(const std::string& windowsPath)
{
    using Convert = char*(CDECL*)(const wchar_t*);
    void* function = reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!function)
        return "";
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* converted = reinterpret_cast<Convert>(function)(wide.c_str());
    std::string path = converted ? converted : "";
    HeapFree(GetProcessHeap(), 0, converted);
    return path;
}

// Runs a Linux command line with /bin/sh (Wine starts Linux programs too,
// but its process handle tells neither when they end nor how): the shell
// leaves the exit status in a file, which is awaited. -1 if it could not
// start or ran past the limit.
int runLinuxShell(const TempDir& dir, const std::string& command, std::chrono::seconds limit)
{
    static int runs = 0;
    std::string status = dir.file("shell-status-" + std::to_string(runs++));
    std::string shellStatus = linuxPath(status);
    if (shellStatus.empty())
        return -1;
    std::string line = windowsCommandLine(
        {"/bin/sh", "-c",
         command + "; echo $? > '" + shellStatus + ".tmp'; mv '" + shellStatus + ".tmp' '" + shellStatus + "'"});
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return -1;
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!std::filesystem::exists(status) && std::chrono::steady_clock::now() < deadline)
        Sleep(50);
    std::string code = readFile(status);
    return code.empty() ? -1 : std::stoi(code);
}

// Focuses the demo's window and types the given keys into it with xdotool.
int typeIntoDemo(const TempDir& dir, const std::string& keys)
{
    return runLinuxShell(dir,
                         "timeout 30 xdotool search --sync --onlyvisible --name 'Vexa by OrB - nordmeet 2001' "
                         "windowfocus --sync key " +
                             keys,
                         std::chrono::seconds(40));
}

TEST(WindowsCommandLine, ArgumentsComeBackUnchanged)
{
    std::vector<std::string> arguments{"vexa-win32.exe", "plain",     "two words", "",
                                       "say \"hi\"",     "C:\\dir\\", "a\\\\\"b",  "tab\there"};
    std::string line = windowsCommandLine(arguments);
    std::wstring wide(line.begin(), line.end());
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(wide.c_str(), &count);
    ASSERT_NE(split, nullptr);
    ASSERT_EQ(count, static_cast<int>(arguments.size())) << line;
    for (int i = 0; i < count; ++i) {
        std::wstring back(split[i]);
        EXPECT_EQ(std::string(back.begin(), back.end()), arguments[i]) << line;
    }
    LocalFree(split);
}

TEST(VexaWin32, OneSecondDemoRunsToItsEndAndExitsZero)
{
    TempDir dir;
    dir.write("config.ini", oneSecondOfBobel);
    VexaProgram vexa(dir, {});
    ASSERT_EQ(vexa.wait(60s), 0) << vexa.err();
    std::string out = lines(vexa.out());
    EXPECT_EQ(out.rfind("party version\n", 0), 0u) << out;
    // No [images] section: the slots are reported as on Linux.
    EXPECT_NE(out.find("yo man, me koed not lood bubble2.png\n"), std::string::npos) << out;
}

TEST(VexaWin32, EmptyTimelineEndsAtOnceAndMissingConfigFails)
{
    TempDir dir;
    dir.write("config.ini", "; nothing to show\n");
    VexaProgram empty(dir, {});
    EXPECT_EQ(empty.wait(60s), 0) << empty.err();

    TempDir none;
    VexaProgram missing(none, {});
    EXPECT_EQ(missing.wait(60s), 1);
    EXPECT_NE(lines(missing.out()).find("cannot open config.ini"), std::string::npos) << missing.out();
}

TEST(VexaWin32, CaptureShowsEachEffectAtItsTime)
{
    TempDir dir;
    // The swarm for a second, an empty second, then the paper boxes.
    dir.write("config.ini",
              "[demo]\nsound = false\n" + withDemoImages(dir) + "[effects]\nbobel 0 1000 0 0\npapier 2000 3000 0 0\n");
    VexaProgram vexa(dir, {"--capture", "frames", "--fps", "10"});
    ASSERT_EQ(vexa.wait(120s), 0) << vexa.err();
    // Every image loads and every slot resolves. (Under Wine, freeglut may
    // warn on stderr that X's DISPLAY names no Windows display device.)
    // Then the capture's own lines: the frames up front, the video at the end.
    std::string out = lines(vexa.out());
    EXPECT_EQ(out.rfind("party version\ncapture: 31 frames at 10 fps into frames, about ", 0), 0u) << out;
    EXPECT_NE(out.find("\nmake a video: ffmpeg -framerate 10 -i frames/frame-%05d.png "), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << out;
    EXPECT_EQ(vexa.err().find(".png"), std::string::npos) << vexa.err();
    // Frames at 0, 100 ... 3000 ms: the frame at the end time is drawn too.
    EXPECT_EQ(framesIn(dir.file("frames")), 31);

    PngImage* first = loadPng(framePath(dir, 0).c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->width, 640u);
    EXPECT_EQ(first->height, 480u);
    freePng(first);
    // The swarm's coloured spheres, then nothing, then the boxes.
    EXPECT_GT(saturatedPixels(framePath(dir, 5)), 30);
    EXPECT_EQ(litShare(framePath(dir, 15)), 0.0);
    EXPECT_GT(litShare(framePath(dir, 25)), 0.001);
}

TEST(VexaWin32, MalformedCaptureOptionsAreRefused)
{
    TempDir dir;
    dir.write("config.ini", oneSecondOfBobel);
    VexaProgram noValue(dir, {"--capture"});
    EXPECT_EQ(noValue.wait(60s), 2);
    EXPECT_NE(noValue.err().find("--capture needs a value"), std::string::npos) << noValue.err();

    VexaProgram badFps(dir, {"--capture", "frames", "--fps", "25x"});
    EXPECT_EQ(badFps.wait(60s), 2);
    EXPECT_NE(badFps.err().find("--fps wants a whole number from 1 to 1000, not 25x"), std::string::npos);

    // A folder inside a file cannot be made.
    VexaProgram badFolder(dir, {"--capture", "config.ini/frames"});
    EXPECT_EQ(badFolder.wait(60s), 2);
    EXPECT_NE(badFolder.err().find("cannot create capture directory config.ini/frames"), std::string::npos)
        << badFolder.err();
    EXPECT_FALSE(std::filesystem::exists(dir.file("frames")));
}

TEST(VexaWin32, EscapeEndsTheDemoOtherKeysDoNot)
{
    TempDir dir;
    dir.write("config.ini", "[demo]\nsound = false\n[effects]\nbubble 0 120000 0 0\n");
    VexaProgram vexa(dir, {});
    ASSERT_EQ(typeIntoDemo(dir, "a space Return"), 0);
    Sleep(500);
    ASSERT_TRUE(vexa.running()) << "the demo ended on an ordinary key";
    // The window is gone before Escape is released, so xdotool may report
    // an error for the release: only the program's exit counts.
    typeIntoDemo(dir, "Escape");
    EXPECT_EQ(vexa.wait(30s), 0) << vexa.err();
    EXPECT_EQ(lines(vexa.out()).rfind("party version\n", 0), 0u);
}

} // namespace
