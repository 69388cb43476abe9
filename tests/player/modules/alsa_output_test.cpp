// The ALSA output for real, through ALSA's "file" plugin as the default
// device: every byte that the module plays lands in the capture file.
#include "alsa_capture.h"
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "decoder/pipeline.h"
#include "modules/builtin_modules.h"
#include "recording_channel.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/wait.h>

using namespace melvox;

namespace {

class AlsaOutput : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::remove(alsaCapturePath()); }

    // The module in this process, opened on name and set to 16-bit stereo
    // at 44100 Hz.
    void openModule(const char* name = "")
    {
        ASSERT_EQ(register_output_module(d, alsa_output_module_register), 0);
        ASSERT_EQ(output_new(d, name, -1), 0);
        ASSERT_EQ(output_open(d), 0);
        head = d.output_chain.head();
        ASSERT_EQ(control(control_bytes_per_sample | control_channels | control_sample_rate), 0);
    }

    int control(uint32_t mask, output_control c = {})
    {
        c.bytes_per_sample = 2;
        c.channels = 2;
        c.sample_rate = 44100;
        return head->table.set_control(head, &c, mask);
    }

    int write(const std::vector<uint8_t>& block)
    {
        return head->table.write(head, block.data(), static_cast<uint32_t>(block.size()), 2, 2, 44100);
    }

    void skipWhereOssIsTheSoundDevice()
    {
        if (oss_device_exists())
            GTEST_SKIP() << "this machine has an OSS device: the default output is OSS";
    }

    RecordingChannel channel;
    player_decoder d{channel};
    output_filter_node* head = nullptr;
    TempDir dir;
};

TEST_F(AlsaOutput, ThePlayersDefaultOutputPlaysExactlyTheFilesSamples)
{
    skipWhereOssIsTheSoundDevice();
    WaveLayout wave;
    wave.data = noise16(2 * 44100); // one second of stereo noise
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    SoundDevicePlayer player;
    ASSERT_EQ(player.command(command_codec_module_register, WAVE_MODULE_LIBRARY), 0);
    ASSERT_EQ(player.command(command_set_player_mode, player_mode_drain_at_end), 0);
    ASSERT_EQ(player.command(command_input_open, dir.file("in.wav").c_str()), 0);
    player.playToEnd(); // drained and closed at the end
    std::vector<uint8_t> got = alsaCaptured();
    ASSERT_EQ(got.size(), wave.data.size());
    EXPECT_TRUE(got == wave.data);
}

TEST_F(AlsaOutput, MelvoxPlayPlaysThroughAlsaWhereNoOssDeviceExists)
{
    skipWhereOssIsTheSoundDevice();
    WaveLayout wave;
    wave.rate = 22050;
    wave.channels = 1;
    wave.data = noise16(22050, 5);
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    for (const char* output : {"", "-o alsa:default "}) {
        std::filesystem::remove(alsaCapturePath());
        std::string command = std::string(MELVOX_PLAY) + " -q " + output + "'" + dir.file("in.wav") + "' 2>'" +
                              dir.file("err") + "'";
        int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(dir.file("err"));
        EXPECT_TRUE(alsaCaptured() == wave.data) << output;
    }
}

TEST_F(AlsaOutput, AMissingDeviceIsAClearError)
{
    SoundDevicePlayer player;
    EXPECT_EQ(player.command(command_output_open, "alsa:no-such-device"), error_no_such_device_name);
    ASSERT_FALSE(player.messages.empty());
    EXPECT_EQ(player.messages.back(), "no audio device found (ALSA device no-such-device: No such file or directory)");
}

// Blocks written around pause, resume, reset and drain all reach the
// device, once each.
TEST_F(AlsaOutput, ControlsBetweenBlocksLoseAndRepeatNothing)
{
    openModule();
    std::vector<uint8_t> all;
    for (uint32_t mask : {0u, 0u, uint32_t(control_pause), uint32_t(control_resume), uint32_t(control_reset),
                          uint32_t(control_drain), 0u}) {
        EXPECT_EQ(control(mask), 0) << mask;
        std::vector<uint8_t> block = noise16(4608, static_cast<uint32_t>(all.size() + 1));
        EXPECT_EQ(write(block), 0);
        all.insert(all.end(), block.begin(), block.end());
    }
    EXPECT_EQ(control(control_drain), 0);
    ASSERT_EQ(output_close(d), 0);
    std::vector<uint8_t> got = alsaCaptured();
    EXPECT_EQ(got.size(), all.size());
    EXPECT_TRUE(got == all);
}

// Level, balance and mute act on the samples themselves: a stereo block of
// full-scale steps, and what each channel keeps of it.
TEST_F(AlsaOutput, LevelBalanceAndMuteShapeTheSamples)
{
    struct Case {
        const char* what;
        uint32_t mask;
        uint32_t level, balance; // levels and balance hold until set again
        double left, right;
    };
    const Case cases[] = {
        {"untouched", 0, 0, 0, 1, 1},
        {"full level, centred", control_pcm_level | control_balance, 100, 50, 1, 1},
        {"half level", control_pcm_level, 50, 50, 0.5, 0.5},
        {"all to the left", control_pcm_level | control_balance, 100, 0, 1, 0},
        {"all to the right", control_balance, 0, 100, 0, 1},
        {"muted", control_mute, 100, 100, 0, 0},
        {"unmuted", control_unmute | control_balance, 100, 50, 1, 1},
    };
    openModule();
    const int16_t left = 20000, right = -12000;
    std::vector<uint8_t> block(4 * 1024);
    for (size_t i = 0; i < block.size(); i += 4) {
        std::memcpy(&block[i], &left, 2);
        std::memcpy(&block[i + 2], &right, 2);
    }
    for (const Case& c : cases) {
        output_control values{};
        values.pcm_level = c.level;
        values.balance = c.balance;
        EXPECT_EQ(control(c.mask, values), 0) << c.what;
        EXPECT_EQ(write(block), 0) << c.what;
    }
    ASSERT_EQ(output_close(d), 0);
    std::vector<uint8_t> got = alsaCaptured();
    ASSERT_EQ(got.size(), block.size() * std::size(cases));
    for (size_t k = 0; k < std::size(cases); ++k) {
        int16_t l, r;
        std::memcpy(&l, &got[k * block.size()], 2);
        std::memcpy(&r, &got[k * block.size() + 2], 2);
        EXPECT_NEAR(l, left * cases[k].left, 1) << cases[k].what;
        EXPECT_NEAR(r, right * cases[k].right, 1) << cases[k].what;
        // Every frame of the block alike.
        EXPECT_TRUE(std::equal(got.begin() + k * block.size(), got.begin() + (k + 1) * block.size() - 4,
                               got.begin() + k * block.size() + 4))
            << cases[k].what;
    }
}

// The null device behind the file plugin plays what it is given at once, so
// the delay that it reports stays small; a drained device has none.
TEST_F(AlsaOutput, ReportsTheDelayOfWhatIsQueued)
{
    openModule();
    EXPECT_TRUE(head->table.get_caps(head) & output_caps_reports_delay);
    std::vector<uint8_t> block = noise16(2 * 4410, 7); // 100 ms
    uint32_t delay = 12345;
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(write(block), 0);
        ASSERT_EQ(head->table.get_status(head, &delay), 0);
        EXPECT_LE(delay, 1000u); // never more than the device can queue
    }
    std::printf("reported delay after 500 ms written: %u ms\n", delay);
    EXPECT_EQ(control(control_drain), 0);
    ASSERT_EQ(head->table.get_status(head, &delay), 0);
    EXPECT_EQ(delay, 0u); // nothing queued after a drain
}

} // namespace

int main(int argc, char** argv)
{
    setUpAlsaCapture();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
