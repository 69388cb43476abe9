// vexa-win32's soundtrack: the Windows player has the WAVE codec built in, so
// a WAVE song plays without any module file; capture mode writes it beside
// the frames, and a song that is missing leaves the demo running to its end.
#include "temp_dir.h"
#include "vexa_program.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using namespace std::chrono_literals;

// A config that plays music/NAME over a timeline of endMs.
std::string configWithMusic(uint32_t endMs, const std::string& song = "song.wav")
{
    return "[demo]\nsoundpath = music/\n[effects]\nbobel 0 " + std::to_string(endMs) + " 0 0\n[music]\n" + song + "\n";
}

// Stereo 44100 Hz noise of the given length as music/song.wav; its samples.
std::vector<uint8_t> writeSong(const TempDir& dir, uint32_t ms)
{
    std::filesystem::create_directories(dir.file("music"));
    WaveLayout wave;
    wave.data = noise16(size_t{ms} * 441 / 10 * 2, ms);
    writeBytes(dir.file("music/song.wav"), waveBytes(wave));
    return wave.data;
}

TEST(VexaWin32Sound, CaptureWritesTheWaveSongAlignedWithTheFrames)
{
    TempDir dir;
    std::vector<uint8_t> song = writeSong(dir, 3000);
    dir.write("config.ini", configWithMusic(1500));
    VexaProgram vexa(dir, {"--capture", "frames", "--fps", "10"});
    ASSERT_EQ(vexa.wait(120s), 0) << vexa.err();
    // Frames at 0, 100 ... 1500 ms: 16 frames, 1.6 s of video and of music.
    std::vector<uint8_t> wav = readBytes(dir.file("frames/soundtrack.wav"));
    ASSERT_EQ(wav.size(), 44u + 70560u * 4) << vexa.err();
    EXPECT_EQ(le32(wav, 40), 70560u * 4);
    EXPECT_EQ(le32(wav, 4), 70560u * 4 + 36);
    EXPECT_TRUE(std::equal(wav.begin() + 44, wav.end(), song.begin()));
    EXPECT_TRUE(std::filesystem::exists(dir.file("frames/frame-00015.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("frames/frame-00016.png")));
}

TEST(VexaWin32Sound, AMissingSongLeavesTheDemoRunningToItsEnd)
{
    TempDir dir;
    dir.write("config.ini", configWithMusic(1000, "nowhere.wav"));
    auto start = std::chrono::steady_clock::now();
    VexaProgram vexa(dir, {});
    ASSERT_EQ(vexa.wait(60s), 0) << vexa.err();
    // The player was made (the song's absence is only its notification).
    EXPECT_EQ(vexa.err().find("Ass: coudn't create decoder thread"), std::string::npos) << vexa.err();
    // It ran its second on the wall clock, and its player ended within the
    // 10 s that deleting a player may wait.
    auto ran = std::chrono::steady_clock::now() - start;
    EXPECT_GE(ran, 1s);
    EXPECT_LT(ran, 30s);
}

} // namespace
