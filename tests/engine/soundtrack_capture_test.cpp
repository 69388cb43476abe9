// Cutting capture mode's soundtrack.wav to the frames' length.
#include "soundtrack_capture.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

namespace {

// A WAV file as the player's file output writes it, sizes in the header
// optionally left at 0 (a player that was ended by force).
std::vector<uint8_t> outputWav(uint32_t rate, uint16_t channels, const std::vector<uint8_t>& data, bool sized = true)
{
    WaveLayout wave;
    wave.rate = rate;
    wave.channels = channels;
    wave.data = data;
    std::vector<uint8_t> bytes = waveBytes(wave);
    if (!sized)
        std::fill(bytes.begin() + 4, bytes.begin() + 8, 0), std::fill(bytes.begin() + 40, bytes.begin() + 44, 0);
    return bytes;
}

TEST(SoundtrackCapture, TheFileIsCutAtTheGivenLength)
{
    TempDir dir;
    std::string path = dir.file("soundtrack.wav");
    std::vector<uint8_t> data = noise16(22050 * 2); // two seconds of mono
    writeBytes(path, outputWav(22050, 1, data));
    ASSERT_TRUE(trimSoundtrack(path, 500));
    std::vector<uint8_t> cut = readBytes(path);
    ASSERT_EQ(cut.size(), 44u + 11025 * 2);
    EXPECT_EQ(le32(cut, 40), 11025u * 2);
    EXPECT_EQ(le32(cut, 4), 11025u * 2 + 36);
    EXPECT_TRUE(std::equal(cut.begin() + 44, cut.end(), data.begin()));
}

TEST(SoundtrackCapture, AShorterFileKeepsAllItsWholeFramesAndGetsItsSizes)
{
    TempDir dir;
    std::string path = dir.file("soundtrack.wav");
    std::vector<uint8_t> data = noise16(1000 * 2, 4); // 1000 stereo frames
    std::vector<uint8_t> bytes = outputWav(44100, 2, data, false);
    bytes.push_back(0x55); // a frame cut short
    writeBytes(path, bytes);
    ASSERT_TRUE(trimSoundtrack(path, 60000));
    std::vector<uint8_t> kept = readBytes(path);
    ASSERT_EQ(kept.size(), 44u + data.size());
    EXPECT_EQ(le32(kept, 40), data.size());
    EXPECT_EQ(le32(kept, 4), data.size() + 36);
    EXPECT_TRUE(std::equal(kept.begin() + 44, kept.end(), data.begin()));
}

TEST(SoundtrackCapture, OtherFilesAreLeftAlone)
{
    TempDir dir;
    EXPECT_TRUE(trimSoundtrack(dir.file("absent.wav"), 1000)); // no music, nothing to cut
    std::string path = dir.file("soundtrack.wav");
    std::vector<uint8_t> text(100, 'x');
    writeBytes(path, text);
    EXPECT_FALSE(trimSoundtrack(path, 10));
    EXPECT_EQ(readBytes(path), text);
    writeBytes(path, std::vector<uint8_t>(10, 0));
    EXPECT_FALSE(trimSoundtrack(path, 10));
}

} // namespace
