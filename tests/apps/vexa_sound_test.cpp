// The demo's music: vexa-linux with its soundtrack played through ALSA with
// no wrapper (the "file" plugin keeps what reached the device), through the
// tests' pretend sound card (its log shows the order of the device requests),
// and written beside the frames in capture mode.
#include "temp_dir.h"
#include "vexa_program.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>

namespace {

using namespace std::chrono;

// A config that plays music/song.wav over a timeline of endMs.
std::string configWithMusic(uint32_t endMs, bool sound = true, const char* song = "song.wav")
{
    return std::string("[demo]\n") + (sound ? "" : "sound = false\n") + "soundpath = music/\n[effects]\nbobel 0 " +
           std::to_string(endMs) + " 0 0\n[music]\n" + song + "\n";
}

// Stereo 44100 Hz noise of the given length, as music/song.wav; its samples.
std::vector<uint8_t> writeSong(const TempDir& dir, uint32_t ms)
{
    std::filesystem::create_directories(dir.file("music"));
    WaveLayout wave;
    wave.data = noise16(size_t{ms} * 441 / 10 * 2, ms);
    writeBytes(dir.file("music/song.wav"), waveBytes(wave));
    return wave.data;
}

// ALSA's default device made one that writes DIR/capture.raw. Where no OSS
// device exists the player plays through ALSA itself.
std::vector<std::pair<std::string, std::string>> alsaCapture(const TempDir& dir)
{
    dir.write("asound.conf", "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"" +
                                 dir.file("capture.raw") + "\"\n  format \"raw\"\n}\n");
    return {{"ALSA_CONFIG_PATH", dir.file("asound.conf")}};
}

// LD_PRELOAD with library first, keeping what the caller preloads (a
// sanitizer run keeps Mesa's driver loaded that way).
std::string preloadFirst(const char* library)
{
    const char* others = std::getenv("LD_PRELOAD");
    return others != nullptr && *others != '\0' ? std::string(library) + ":" + others : library;
}

// Children of a process, from /proc.
int childCount(pid_t parent)
{
    int count = 0;
    DIR* proc = opendir("/proc");
    while (dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
            continue;
        int ppid = 0;
        char state = 0;
        // "pid (name) state ppid ..."; the name may hold anything.
        if (std::sscanf(line.c_str() + line.rfind(')') + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
            ++count;
    }
    if (proc != nullptr)
        closedir(proc);
    return count;
}

// Runs the program to its end, noting the most children it had meanwhile.
struct Outcome {
    int status = -1;
    int mostChildren = 0;
    double seconds = 0;
};

Outcome runToEnd(VexaProgram& vexa, seconds limit)
{
    Outcome r;
    auto start = steady_clock::now();
    while (vexa.running() && steady_clock::now() - start < limit) {
        r.mostChildren = std::max(r.mostChildren, childCount(vexa.id()));
        std::this_thread::sleep_for(milliseconds(50));
    }
    r.seconds = duration<double>(steady_clock::now() - start).count();
    r.status = vexa.wait(seconds(0));
    return r;
}

TEST(VexaSound, TheMusicPlaysThroughAlsaWithNoWrapper)
{
    if (std::filesystem::exists("/dev/dsp"))
        GTEST_SKIP() << "this machine has /dev/dsp: the music plays there";
    TempDir dir;
    std::vector<uint8_t> song = writeSong(dir, 2000);
    dir.write("config.ini", configWithMusic(1500));
    VexaProgram vexa(dir, {}, {}, alsaCapture(dir));
    Outcome run = runToEnd(vexa, seconds(60));
    ASSERT_EQ(run.status, 0) << vexa.err();
    EXPECT_EQ(vexa.out().rfind("party version\n", 0), 0u);
    EXPECT_EQ(vexa.err(), "");
    EXPECT_GE(run.mostChildren, 1); // the player's decoder
    // The device got the song from its start, sample for sample, for as
    // long as the demo ran (the emulated device takes it faster than that).
    std::vector<uint8_t> got = readBytes(dir.file("capture.raw"));
    ASSERT_FALSE(got.empty());
    ASSERT_LE(got.size(), song.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), song.begin()));
    // A healthy decoder ends at once: far less than the player's 10 s wait.
    EXPECT_LT(run.seconds, 1.5 + 8);
}

TEST(VexaSound, WithSoundOffNoPlayerIsMadeAndNoDeviceOpened)
{
    TempDir dir;
    writeSong(dir, 2000);
    dir.write("config.ini", configWithMusic(1500, false));
    VexaProgram vexa(dir, {}, {}, alsaCapture(dir));
    Outcome run = runToEnd(vexa, seconds(60));
    ASSERT_EQ(run.status, 0) << vexa.err();
    EXPECT_EQ(run.mostChildren, 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("capture.raw")));
}

TEST(VexaSound, MissingMusicLetsTheDemoRunToItsEnd)
{
    TempDir dir;
    dir.write("config.ini", configWithMusic(1500, true, "nothing.wav"));
    VexaProgram vexa(dir, {}, {}, alsaCapture(dir));
    Outcome run = runToEnd(vexa, seconds(60));
    ASSERT_EQ(run.status, 0) << vexa.err();
    EXPECT_GE(run.seconds, 1.5);
    EXPECT_EQ(vexa.err(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("capture.raw")));
}

TEST(VexaSound, TheDeviceIsOpenedAtTheStartAndResetAndClosedAtTheEnd)
{
    TempDir dir;
    writeSong(dir, 1000);
    dir.write("config.ini", configWithMusic(1000));
    VexaProgram vexa(
        dir, {}, {},
        {{"LD_PRELOAD", preloadFirst(OSS_SHIM_LIBRARY)}, {"OSS_SHIM_LOG", dir.file("log")}, {"OSS_SHIM_CAPS", "0"}});
    ASSERT_EQ(vexa.wait(seconds(60)), 0) << vexa.err();
    std::string log = readFile(dir.file("log"));
    // Opened once at play, the song's format set, its blocks written; the
    // stop resets the device, the player's exit closes it.
    size_t at = 0;
    for (const char* step : {"open /dev/dsp\n", "stereo 1\n", "speed 44100\n", "write ", "reset\nclose dsp\n"}) {
        size_t next = log.find(step, at);
        ASSERT_NE(next, std::string::npos) << step << " after " << at << " in\n" << log;
        at = next + 1;
    }
    EXPECT_EQ(log.find("open /dev/dsp"), log.rfind("open /dev/dsp")) << log;
    EXPECT_TRUE(log.ends_with("reset\nclose dsp\n")) << log;
}

// The soundtrack file's length in sample frames (44-byte header, stereo 16-bit).
size_t framesIn(const std::vector<uint8_t>& wav)
{
    return wav.size() < 44 ? 0 : (wav.size() - 44) / 4;
}

TEST(VexaSound, CaptureWritesTheSoundtrackAlignedWithTheFrames)
{
    TempDir dir;
    std::vector<uint8_t> song = writeSong(dir, 3000);
    dir.write("config.ini", configWithMusic(1500));
    VexaProgram vexa(dir, {"--capture", "frames", "--fps", "10"});
    ASSERT_EQ(vexa.wait(seconds(120)), 0) << vexa.err();
    // Frames at 0, 100 ... 1500 ms: 16 frames, 1.6 s of video and of music.
    std::vector<uint8_t> wav = readBytes(dir.file("frames/soundtrack.wav"));
    ASSERT_EQ(framesIn(wav), 70560u);
    EXPECT_EQ(le32(wav, 40), 70560u * 4);
    EXPECT_EQ(le32(wav, 4), 70560u * 4 + 36);
    EXPECT_TRUE(std::equal(wav.begin() + 44, wav.end(), song.begin()));
    EXPECT_TRUE(std::filesystem::exists(dir.file("frames/frame-00015.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("frames/frame-00016.png")));
}

TEST(VexaSound, ACaptureLongerThanTheSongHoldsTheWholeSong)
{
    TempDir dir;
    std::vector<uint8_t> song = writeSong(dir, 500);
    dir.write("config.ini", configWithMusic(1000));
    VexaProgram vexa(dir, {"--capture", "frames", "--fps", "5"});
    ASSERT_EQ(vexa.wait(seconds(120)), 0) << vexa.err();
    std::vector<uint8_t> wav = readBytes(dir.file("frames/soundtrack.wav"));
    ASSERT_EQ(wav.size(), 44 + song.size());
    EXPECT_TRUE(std::equal(wav.begin() + 44, wav.end(), song.begin()));

    // Without sound there is no soundtrack.
    TempDir silent;
    writeSong(silent, 500);
    silent.write("config.ini", configWithMusic(1000, false));
    VexaProgram quiet(silent, {"--capture", "frames", "--fps", "5"});
    ASSERT_EQ(quiet.wait(seconds(120)), 0) << quiet.err();
    EXPECT_FALSE(std::filesystem::exists(silent.file("frames/soundtrack.wav")));
}

} // namespace

namespace {

// scripts/with-sound, with fake padsp and pactl first on PATH and the
// given ALSA configuration ("" for one with no device).
std::string withSound(const TempDir& dir, bool serverRuns, const std::string& alsaConfig = "")
{
    std::filesystem::create_directories(dir.file("bin"));
    dir.write("bin/padsp", "#!/bin/sh\necho \"padsp ran $*\"\nexec \"$@\"\n");
    dir.write("bin/pactl", serverRuns ? "#!/bin/sh\nexit 0\n" : "#!/bin/sh\nexit 1\n");
    dir.write("asound.conf", alsaConfig.empty() ? "# no device\n" : alsaConfig);
    std::filesystem::permissions(dir.file("bin/padsp"), std::filesystem::perms::owner_all);
    std::filesystem::permissions(dir.file("bin/pactl"), std::filesystem::perms::owner_all);
    std::string command = "PATH='" + dir.file("bin") + "':\"$PATH\" ALSA_CONFIG_PATH='" + dir.file("asound.conf") +
                          "' " + SOURCE_DIR + "/scripts/with-sound sh -c 'echo \"demo ran: $0\"' one > '" +
                          dir.file("out") + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return readFile(dir.file("out"));
}

TEST(WithSound, AnAlsaDeviceNeedsNoWrapper)
{
    if (std::filesystem::exists("/dev/dsp"))
        GTEST_SKIP() << "this machine has /dev/dsp";
    TempDir dir;
    std::string config = "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"" + dir.file("x.raw") +
                         "\"\n  format \"raw\"\n}\n";
    EXPECT_EQ(withSound(dir, true, config),
              "demo: no /dev/dsp; playing the music through ALSA's default device\ndemo ran: one\n");
}

TEST(WithSound, WithoutAnAlsaDeviceAPulseAudioServerMeansPadsp)
{
    if (std::filesystem::exists("/dev/dsp"))
        GTEST_SKIP() << "this machine has /dev/dsp";
    TempDir dir;
    EXPECT_EQ(withSound(dir, true), "demo: no /dev/dsp; playing the music through padsp (PulseAudio/PipeWire's OSS "
                                    "emulation)\npadsp ran sh -c echo \"demo ran: $0\" one\ndemo ran: one\n");
}

TEST(WithSound, WithoutAServerOrACardTheDemoRunsSilentlyAndSaysWhy)
{
    if (std::filesystem::exists("/dev/dsp") || std::filesystem::exists("/proc/asound/cards"))
        GTEST_SKIP() << "this machine has a sound card";
    TempDir dir;
    std::string out = withSound(dir, false);
    EXPECT_TRUE(out.starts_with("demo: no /dev/dsp, no ALSA device, no PulseAudio/PipeWire server for padsp, no ALSA"))
        << out;
    EXPECT_TRUE(out.ends_with(": the demo runs silently\ndemo ran: one\n")) << out;
}

} // namespace
