// Whole players on the Windows build playing to the sound device for real:
// Wine's winmm plays through Wine's ALSA driver into ALSA's "file" plugin
// (see wave_capture.h), and what was heard is compared with the player's own
// decoding of the same stream to a raw file.
//
// layer3-stereo-44k-128k.mp3 in tests/data is 3 s of two tone sweeps with a
// little noise, encoded with lame -b 128.
#include "melvox.h"
#include "temp_dir.h"
#include "wave_capture.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr long ten_seconds_us = 10'000'000;

// A path of the Unix side as the Windows side names it.
std::string windowsPath(const std::string& path)
{
    return !path.empty() && path.front() == '/' ? "Z:" + path : path;
}

class Player {
public:
    Player() { EXPECT_EQ(player_new(&p, nullptr), 0); }
    ~Player()
    {
        if (p != nullptr) {
            EXPECT_EQ(player_delete(p), 0);
        }
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    player_message next()
    {
        player_message m{};
        EXPECT_EQ(player_wait_message(p, &m, ten_seconds_us), 1);
        keep(m);
        return m;
    }

    void keep(const player_message& m)
    {
        if (m.code == notify_output_module_info || m.code == notify_output_device_info)
            outputs.push_back(std::to_string(player_message_byte(&m, 4)) + " " +
                              std::to_string(player_message_byte(&m, 5)) + " " +
                              std::to_string(player_message_byte(&m, 6)) + " " +
                              static_cast<const char*>(player_message_pointer(&m, 8)));
        if (m.code == notify_error)
            errors.push_back(static_cast<const char*>(player_message_pointer(&m, 8)));
    }

    // Sends a command and returns the result of its acknowledgement.
    template <typename... Args>
    int command(int code, Args... args)
    {
        return player_command(p, kept, this, 3 * ten_seconds_us, code, args...);
    }
    static void kept(void* self, const player_message* m) { static_cast<Player*>(self)->keep(*m); }

    // Plays until the player leaves the playing state.
    void playToEnd()
    {
        ASSERT_EQ(command(command_play), 0);
        for (;;) {
            player_message m = next();
            if (m.code == 0 || (m.code == notify_player_state && player_message_byte(&m, 4) != player_state_playing))
                return;
        }
    }

    // Waits until the output has been drained and closed at the end of the
    // stream (the end is told before the queue has played out).
    void waitForTheOutputToClose()
    {
        for (;;) {
            player_message m = next();
            if (m.code == 0 || m.code == notify_output_state)
                return;
        }
    }

    player* p = nullptr;
    std::vector<std::string> outputs;
    std::vector<std::string> errors;
};

class WavePlayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!underWine())
            GTEST_SKIP() << "captures through Wine's ALSA driver only";
        ASSERT_FALSE(capturePath().empty()) << "ALSA_CONFIG_PATH is not set (run through ctest)";
        std::filesystem::remove(capturePath());
    }

    // The player's decoding of a stream, through the raw file output.
    std::vector<uint8_t> decoded(const std::string& input)
    {
        std::string raw = dir.file("decoded.raw");
        Player player;
        EXPECT_EQ(player.command(command_output_open, ("raw:" + raw).c_str()), 0);
        EXPECT_EQ(player.command(command_input_open, input.c_str()), 0);
        player.playToEnd();
        EXPECT_EQ(player.command(command_output_close), 0);
        return readBytes(raw);
    }

    TempDir dir;
};

TEST_F(WavePlayer, TheSoundDeviceIsTheSecondBuiltInOutput)
{
    Player player;
    ASSERT_EQ(player.command(command_output_modules_list), 0);
    ASSERT_GE(player.outputs.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(player.outputs.begin(), player.outputs.begin() + 4),
              (std::vector<std::string>{"0 3 0 Output To File", "0 0 1 *, or raw:*", "0 1 1 wav:*", "0 2 0 -"}));
    // Wine offers one device: the mapper comes on top.
    EXPECT_EQ(player.outputs[4], "1 2 0 Win32 Sound Driver Interface");
    EXPECT_EQ(player.outputs[5], "1 0 2 /dev/wave/0");
    EXPECT_EQ(player.outputs[6], "1 1 0 /dev/wave/1");
}

TEST_F(WavePlayer, AnMp3PlaysExactlyWhatThePlayerDecodesOfIt)
{
    std::string mp3 = windowsPath(VEXA_TEST_DATA "/layer3-stereo-44k-128k.mp3");
    std::vector<uint8_t> pcm = decoded(mp3);
    ASSERT_GT(pcm.size(), 3u * 44100 * 4 * 9 / 10) << "the player decoded too little of " << mp3;

    Player player;
    ASSERT_EQ(player.command(command_set_player_mode, player_mode_drain_at_end), 0);
    ASSERT_EQ(player.command(command_output_open, "/dev/wave/0"), 0);
    ASSERT_EQ(player.command(command_input_open, mp3.c_str()), 0);
    player.playToEnd();
    player.waitForTheOutputToClose();
    EXPECT_TRUE(player.errors.empty()) << player.errors.front();
    EXPECT_TRUE(playedExactly(readBytes(capturePath()), pcm));
}

TEST_F(WavePlayer, AWaveFilePlaysToTheDefaultDeviceThroughTheBuiltInCodec)
{
    WaveLayout wave;
    wave.data = noise16(2 * 44100, 31); // one second of stereo noise
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    Player player;
    ASSERT_EQ(player.command(command_set_player_mode, player_mode_drain_at_end), 0);
    ASSERT_EQ(player.command(command_input_open, dir.file("in.wav").c_str()), 0);
    player.playToEnd();
    player.waitForTheOutputToClose();
    EXPECT_TRUE(playedExactly(readBytes(capturePath()), wave.data));
}

TEST_F(WavePlayer, AMonoFileReopensTheDeviceInItsOwnFormat)
{
    WaveLayout wave;
    wave.rate = 22050;
    wave.channels = 1;
    wave.data = noise16(22050, 32); // one second
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    Player player;
    ASSERT_EQ(player.command(command_set_player_mode, player_mode_drain_at_end), 0);
    ASSERT_EQ(player.command(command_input_open, dir.file("in.wav").c_str()), 0);
    player.playToEnd();
    player.waitForTheOutputToClose();
    EXPECT_TRUE(playedExactly(readBytes(capturePath()), wave.data, equal, 1));
}

} // namespace
