// The OSS output for real, through ALSA's OSS emulation: the test starts
// itself again with libaoss preloaded and an ALSA configuration whose default
// device is the "file" plugin, so every byte that reaches the device lands in
// capture.raw.
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"
#include "alsa_capture.h"
#include "preload_main.h"
#include "recording_channel.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

using namespace melvox;

namespace {

class OssEmulation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("OSS_EMULATION_RUNNING"), nullptr);
        ASSERT_TRUE(std::filesystem::exists(AOSS_LIBRARY)) << "ALSA's OSS emulation (alsa-oss) is not installed";
        std::filesystem::remove(alsaCapturePath());
    }

    TempDir dir;
};

TEST_F(OssEmulation, TheSoundDeviceIsTheSecondBuiltInOutput)
{
    SoundDevicePlayer player;
    ASSERT_EQ(player.command(command_output_modules_list), 0);
    std::vector<std::string> expected{"0 3 0 Output To File",
                                      "0 0 1 *, or raw:*",
                                      "0 1 1 wav:*",
                                      "0 2 0 -",
                                      "1 4 0 OSS Sound Driver Interface",
                                      "1 0 2 /dev/dsp",
                                      "1 1 0 /dev/dsp0",
                                      "1 2 0 /dev/dsp1",
                                      "1 3 1 /dev/*"};
#ifdef MELVOX_WITH_ALSA
    // ALSA's default device is the default where no OSS device exists.
    const char* alsa_default = oss_device_exists() ? "2 0 0 alsa:default" : "2 0 2 alsa:default";
    expected.insert(expected.end(), {"2 2 0 ALSA Sound Output", alsa_default, "2 1 1 alsa:*"});
#endif
    EXPECT_EQ(player.modules, expected);
}

TEST_F(OssEmulation, AWaveFilePlaysExactlyItsSamples)
{
    WaveLayout wave;
    wave.data = noise16(2 * 44100); // one second of stereo noise
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    SoundDevicePlayer player;
    ASSERT_EQ(player.command(command_codec_module_register, WAVE_MODULE_LIBRARY), 0);
    ASSERT_EQ(player.command(command_set_player_mode, player_mode_drain_at_end), 0);
    ASSERT_EQ(player.command(command_set_output_name, "/dev/dsp"), 0); // else ALSA's, with no /dev/dsp on disk
    ASSERT_EQ(player.command(command_input_open, dir.file("in.wav").c_str()), 0);
    player.playToEnd(); // drained and closed at the end
    std::vector<uint8_t> got = alsaCaptured();
    ASSERT_EQ(got.size(), wave.data.size());
    EXPECT_TRUE(got == wave.data);
}

TEST_F(OssEmulation, AnMp3PlaysExactlyWhatTheDecoderMakesOfIt)
{
    WaveLayout wave;
    wave.data = noise16(2 * 44100, 3);
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    std::string encode = "lame --quiet -b 128 '" + dir.file("in.wav") + "' '" + dir.file("in.mp3") + "'";
    ASSERT_EQ(std::system(encode.c_str()), 0) << "lame is needed (scripts/setup)";

    {
        SoundDevicePlayer player;
        ASSERT_EQ(player.command(command_output_open, ("raw:" + dir.file("decoded.raw")).c_str()), 0);
        int r = player.command(command_input_open, dir.file("in.mp3").c_str());
        if (r == error_no_codec_found)
            GTEST_SKIP() << "this build's player has no MPEG audio codec yet";
        ASSERT_EQ(r, 0);
        player.playToEnd();
        ASSERT_EQ(player.command(command_output_close), 0);
    }
    SoundDevicePlayer player;
    ASSERT_EQ(player.command(command_set_player_mode, player_mode_drain_at_end), 0);
    ASSERT_EQ(player.command(command_set_output_name, "/dev/dsp"), 0);
    ASSERT_EQ(player.command(command_input_open, dir.file("in.mp3").c_str()), 0);
    player.playToEnd(); // drained and closed at the end
    std::vector<uint8_t> decoded = readBytes(dir.file("decoded.raw"));
    EXPECT_GT(decoded.size(), wave.data.size() / 2);
    std::vector<uint8_t> played = alsaCaptured();
    EXPECT_EQ(played.size(), decoded.size());
    EXPECT_TRUE(played == decoded);
}

// The module in this process: blocks written around trigger, pause,
// resume, reset and drain all reach the device, once each.
TEST_F(OssEmulation, ControlsBetweenBlocksLoseAndRepeatNothing)
{
    RecordingChannel channel;
    player_decoder d{channel};
    ASSERT_EQ(register_output_module(d, oss_output_module_register), 0);
    ASSERT_EQ(output_new(d, "", -1), 0);
    ASSERT_EQ(output_open(d), 0);
    output_filter_node* head = d.output_chain.head();
    auto control = [&](uint32_t mask) {
        output_control c{};
        c.bytes_per_sample = 2;
        c.channels = 2;
        c.sample_rate = 44100;
        return head->table.set_control(head, &c, mask);
    };
    ASSERT_EQ(control(control_bytes_per_sample | control_channels | control_sample_rate), 0);
    std::vector<uint8_t> all;
    for (uint32_t mask : {0u, 0u, uint32_t(control_pause), uint32_t(control_resume), uint32_t(control_reset),
                          uint32_t(control_drain), 0u}) {
        EXPECT_EQ(control(mask), 0) << mask;
        std::vector<uint8_t> block = noise16(4608, static_cast<uint32_t>(all.size() + 1));
        EXPECT_EQ(head->table.write(head, block.data(), static_cast<uint32_t>(block.size()), 2, 2, 44100), 0);
        all.insert(all.end(), block.begin(), block.end());
    }
    EXPECT_EQ(control(control_drain), 0);
    ASSERT_EQ(output_close(d), 0);
    std::vector<uint8_t> got = alsaCaptured();
    EXPECT_EQ(got.size(), all.size());
    EXPECT_TRUE(got == all);
}

TEST_F(OssEmulation, MelvoxPlayPlaysToANamedOssDevice)
{
    WaveLayout wave;
    wave.rate = 22050;
    wave.channels = 1;
    wave.data = noise16(22050, 5);
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    std::string command = std::string(MELVOX_PLAY) + " -q -o /dev/dsp '" + dir.file("in.wav") + "' 2>'" +
                          dir.file("err") + "'";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << readFile(dir.file("err"));
    EXPECT_TRUE(alsaCaptured() == wave.data);
}

} // namespace

int main(int argc, char** argv)
{
    runWithPreload(argv, AOSS_LIBRARY, "OSS_EMULATION_RUNNING");
    setUpAlsaCapture();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
