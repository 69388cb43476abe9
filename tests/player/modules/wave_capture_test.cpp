// The wave output for real: Wine's winmm plays through Wine's ALSA driver
// into ALSA's "file" plugin (the test runs with ALSA_CONFIG_PATH naming a
// configuration whose default device writes raw PCM to capture.raw beside
// it), so the bytes that the module played lie in that file.
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"
#include "recording_channel.h"
#include "wave_capture.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

using namespace melvox;

namespace {

class WaveCapture : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!underWine())
            GTEST_SKIP() << "captures through Wine's ALSA driver only";
        ASSERT_FALSE(capturePath().empty()) << "ALSA_CONFIG_PATH is not set (run through ctest)";
        std::filesystem::remove(capturePath());
        d.settings.debug_level = 1;
        ASSERT_EQ(register_output_module(d, wave_output_module_register), 0);
    }

    void TearDown() override
    {
        if (d.output.open)
            output_close(d);
    }

    output_filter_node* head() { return d.output_chain.head(); }

    int control(uint32_t mask, uint32_t rate = 44100, uint32_t channels = 2)
    {
        output_control c{};
        c.bytes_per_sample = 2;
        c.sample_rate = rate;
        c.channels = channels;
        return head()->table.set_control(head(), &c, mask);
    }

    // Plays the bytes in blocks of one Layer III frame, decoded into the
    // output's own buffers as the codec does.
    void play(const std::vector<uint8_t>& bytes, uint32_t blockBytes = 4608)
    {
        for (size_t at = 0; at < bytes.size(); at += blockBytes) {
            auto size = static_cast<uint32_t>(std::min<size_t>(blockBytes, bytes.size() - at));
            void* buffer = head()->table.get_buffer(head(), blockBytes);
            ASSERT_NE(buffer, nullptr);
            std::memcpy(buffer, bytes.data() + at, size);
            ASSERT_EQ(head()->table.write(head(), buffer, size, 2, 2, 44100), 0);
        }
    }

    std::vector<uint8_t> captured() { return readBytes(capturePath()); }

    std::vector<std::string> messages()
    {
        std::vector<std::string> texts;
        for (const player_message* m : channel.all(notify_debug))
            texts.push_back(static_cast<const char*>(player_message_pointer(m, 8)));
        return texts;
    }

    RecordingChannel channel;
    player_decoder d{channel};
};

TEST_F(WaveCapture, TheDefaultDeviceIsDescribed)
{
    const output_module& t = d.output_modules.find(0)->table.output;
    module_info info{};
    ASSERT_EQ(t.query(&info, query_module_name | query_device_count), 0);
    EXPECT_STREQ(info.name, "Win32 Sound Driver Interface");
    ASSERT_GE(info.index, 2u) << "Wine offers no wave-out device";
    uint32_t count = info.index;
    for (uint32_t i = 0; i < count; ++i) {
        info.index = i;
        ASSERT_EQ(t.query(&info, query_device), 0) << i;
        EXPECT_EQ(std::string(info.name), "/dev/wave/" + std::to_string(i));
        EXPECT_NE(info.description[0], '\0');
        EXPECT_EQ(info.flags, i == 0 ? 2u : 0u);
        std::printf("device %u: %s (%s)\n", i, info.name, info.description);
    }
    info.index = count;
    EXPECT_EQ(t.query(&info, query_device), error_invalid_parameters);
}

TEST_F(WaveCapture, KnownPcmReachesTheDeviceUnchanged)
{
    ASSERT_EQ(output_new(d, "/dev/wave/0", -1), 0);
    ASSERT_EQ(output_open(d), 0);
    for (const std::string& m : messages())
        std::printf("message: %s\n", m.c_str());
    ASSERT_EQ(control(control_bytes_per_sample | control_channels | control_sample_rate), 0);
    auto pcm = noise16(2 * 44100, 21); // one second of stereo noise
    play(pcm);
    // A short block at the end, and one of the caller's own.
    auto tail = noise16(2 * 300, 22);
    ASSERT_EQ(head()->table.write(head(), tail.data(), static_cast<uint32_t>(tail.size()), 2, 2, 44100), 0);
    pcm.insert(pcm.end(), tail.begin(), tail.end());
    uint32_t delay = 0;
    EXPECT_EQ(head()->table.get_status(head(), &delay), 0);
    std::printf("delay right after the last write: %u ms\n", delay);
    EXPECT_LE(delay, 1010u);
    ASSERT_EQ(output_close(d), 0); // lets the queue play out
    std::vector<uint8_t> got = captured();
    std::printf("captured %zu bytes for %zu written\n", got.size(), pcm.size());
    EXPECT_TRUE(playedExactly(got, pcm));
}

TEST_F(WaveCapture, PauseResumeAndARepeatedFormatLoseNothing)
{
    ASSERT_EQ(output_new(d, "", -1), 0);
    ASSERT_EQ(output_open(d), 0);
    ASSERT_EQ(control(control_bytes_per_sample | control_channels | control_sample_rate), 0);
    std::vector<uint8_t> all;
    for (uint32_t mask : {0u, uint32_t(control_pause), uint32_t(control_resume), 0u,
                          uint32_t(control_channels | control_sample_rate)}) {
        EXPECT_EQ(control(mask), 0) << mask;
        auto block = noise16(4608 * 4, static_cast<uint32_t>(all.size() + 1));
        play(block);
        all.insert(all.end(), block.begin(), block.end());
    }
    ASSERT_EQ(output_close(d), 0);
    std::vector<uint8_t> got = captured();
    EXPECT_TRUE(playedExactly(got, all));
}

TEST_F(WaveCapture, PcmLevelAndBalanceScaleTheSamples)
{
    ASSERT_EQ(output_new(d, "", -1), 0);
    ASSERT_EQ(output_open(d), 0);
    output_control c{};
    c.pcm_level = 100;
    c.balance = 75; // the left channel at half
    ASSERT_EQ(head()->table.set_control(head(), &c, control_pcm_level | control_balance), 0);
    auto pcm = noise16(2 * 44100, 23);
    play(pcm);
    ASSERT_EQ(output_close(d), 0);
    EXPECT_TRUE(playedExactly(captured(), pcm, leftAtHalf));
}

} // namespace
