// The wave output module on a pretend winmm (fake_wave_device): device
// names, busy and missing devices, the buffer ring, volume and balance
// arithmetic, the mixer, delay reports and the playback-rate variable.
#include "decoder/decoder.h"
#include "fake_wave_device.h"
#include "decoder/module_system.h"
#include "codecs/codec_modules.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"
#include "recording_channel.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <cstring>
#include <string>

using namespace melvox;

namespace {

struct Ctl : output_control {
    Ctl() : output_control{} {}
    Ctl& rate(uint32_t v) { return sample_rate = v, *this; }
    Ctl& channels(uint32_t v) { return output_control::channels = v, *this; }
    Ctl& master(uint32_t v) { return master_level = v, *this; }
    Ctl& pcm(uint32_t v) { return pcm_level = v, *this; }
    Ctl& balance(uint32_t v) { return output_control::balance = v, *this; }
};

uint32_t volume(uint32_t left, uint32_t right)
{
    return left | right << 16;
}

class WaveOutput : public ::testing::Test {
protected:
    void SetUp() override
    {
        d.settings.debug_level = 1;
        ASSERT_EQ(register_output_module(d, wave_output_module_register), 0);
    }

    void TearDown() override
    {
        if (d.output.open)
            output_close(d);
    }

    int open(const char* name = "")
    {
        if (int r = output_new(d, name, -1); r < 0)
            return r;
        return output_open(d);
    }

    const output_module& table() { return d.output_modules.find(0)->table.output; }
    output_filter_node* head() { return d.output_chain.head(); }

    int control(uint32_t mask, const output_control& c = Ctl()) { return head()->table.set_control(head(), &c, mask); }

    output_control read(uint32_t mask)
    {
        output_control c{};
        c.master_level = 1234; // left alone when there is nothing to read
        EXPECT_EQ(head()->table.get_control(head(), &c, mask), 0);
        return c;
    }

    // Decodes (here: copies) a block into the output's own buffer and writes it.
    int play(const std::vector<uint8_t>& block, int channels = 2)
    {
        auto size = static_cast<uint32_t>(block.size());
        void* buffer = head()->table.get_buffer(head(), size);
        if (buffer == nullptr)
            return error_out_of_memory;
        std::memcpy(buffer, block.data(), size);
        return head()->table.write(head(), buffer, size, 2, channels, 44100);
    }

    uint32_t delay()
    {
        uint32_t ms = 99999;
        EXPECT_EQ(head()->table.get_status(head(), &ms), 0);
        return ms;
    }

    std::vector<std::string> messages()
    {
        std::vector<std::string> texts;
        for (const player_message* m : channel.all(notify_debug))
            texts.push_back(static_cast<const char*>(player_message_pointer(m, 8)));
        return texts;
    }

    FakeWaveDevice fake; // before the decoder: its instances use the fake
    RecordingChannel channel;
    player_decoder d{channel};
};

TEST_F(WaveOutput, NamesPickTheDevice)
{
    EXPECT_EQ(table().probe(""), 0);
    EXPECT_EQ(table().probe(nullptr), 0);
    EXPECT_EQ(table().probe("/dev/wave/3"), 0);
    EXPECT_EQ(table().probe("/dev/dsp"), error_unsupported_output_type);
    EXPECT_EQ(table().probe("raw:out.raw"), error_unsupported_output_type);

    EXPECT_EQ(open("/dev/wave/12"), error_no_such_device_name);
    EXPECT_EQ(open("/dev/wave/"), error_no_such_device_name);
    EXPECT_EQ(open("/dev/wave/x"), error_no_such_device_name);
    EXPECT_EQ(fake.openAttempts, 0);

    ASSERT_EQ(open("/dev/wave/0"), 0);
    EXPECT_EQ(fake.lastDevice, WAVE_MAPPER);
    output_close(d);
    ASSERT_EQ(open(""), 0);
    EXPECT_EQ(fake.lastDevice, WAVE_MAPPER);
    output_close(d);
    ASSERT_EQ(open("/dev/wave/2"), 0);
    EXPECT_EQ(fake.lastDevice, 1u); // the system's second device
    output_close(d);
    EXPECT_EQ(open("/dev/wave/3"), error_no_such_device_name); // there are only two
}

TEST_F(WaveOutput, QueryDescribesTheDefaultAndEverySystemDevice)
{
    module_info info{};
    ASSERT_EQ(table().query(&info, query_module_name | query_device_count), 0);
    EXPECT_STREQ(info.name, "Win32 Sound Driver Interface");
    EXPECT_STREQ(info.description, "Version 1.3");
    EXPECT_EQ(info.index, 3u);
    info.index = 0;
    ASSERT_EQ(table().query(&info, query_device), 0);
    EXPECT_STREQ(info.name, "/dev/wave/0");
    EXPECT_STREQ(info.description, "Fake Mapper");
    EXPECT_EQ(info.flags, 2u);
    info.index = 2;
    ASSERT_EQ(table().query(&info, query_device), 0);
    EXPECT_STREQ(info.name, "/dev/wave/2");
    EXPECT_STREQ(info.description, "Fake Headphones");
    EXPECT_EQ(info.flags, 0u);
    info.index = 3;
    EXPECT_EQ(table().query(&info, query_device), error_invalid_parameters);
    fake.capsFail = true;
    info.index = 1;
    EXPECT_EQ(table().query(&info, query_device), error_no_such_device_name);
}

TEST_F(WaveOutput, OpenPlaysCdQualityUntilTheFormatChanges)
{
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(fake.lastFormat.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(fake.lastFormat.nSamplesPerSec, 44100u);
    EXPECT_EQ(fake.lastFormat.nChannels, 2u);
    EXPECT_EQ(fake.lastFormat.wBitsPerSample, 16u);
    EXPECT_EQ(fake.lastFormat.nBlockAlign, 4u);
    EXPECT_EQ(fake.lastFormat.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(head()->table.get_caps(head()), 0x7fffffu);

    // Three changes to one format reopen the device once; the format that
    // it already has reopens nothing.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(control(control_channels | control_sample_rate, Ctl().rate(22050).channels(1)), 0);
    EXPECT_EQ(fake.opens, 2);
    EXPECT_EQ(fake.closes, 1);
    EXPECT_EQ(fake.lastFormat.nBlockAlign, 2u);
    EXPECT_EQ(fake.lastFormat.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(control(control_sample_rate, Ctl().rate(22050).channels(1)), 0);
    EXPECT_EQ(fake.opens, 2);

    // A format the device refuses: the failure shows in the result.
    fake.openResult = WAVERR_BADFORMAT;
    EXPECT_EQ(control(control_channels | control_sample_rate, Ctl().rate(8000).channels(7)), error_open_failed);
    EXPECT_EQ(play(noise16(64)), error_write_failed); // no device to play to
}

TEST_F(WaveOutput, ABusyDeviceIsAskedTenTimesOver500Ms)
{
    fake.busyAnswers = -1;
    EXPECT_EQ(open(), error_device_busy);
    EXPECT_EQ(fake.openAttempts, 10);
    EXPECT_EQ(fake.sleeps, 10);
    EXPECT_EQ(fake.sleptMs, 500u);
    EXPECT_TRUE(messages().empty()); // no mixer was tried

    // A device that is busy for a while is had once it is free.
    fake.busyAnswers = 3;
    fake.openAttempts = 0;
    EXPECT_EQ(open(), 0);
    EXPECT_EQ(fake.openAttempts, 4);
}

TEST_F(WaveOutput, OpenFailuresHaveTheirCodes)
{
    fake.openResult = MMSYSERR_NODRIVER;
    EXPECT_EQ(open(), error_no_such_device_name);
    fake.openResult = MMSYSERR_BADDEVICEID;
    EXPECT_EQ(open(), error_no_such_device_name);
    fake.openResult = MMSYSERR_NOMEM;
    EXPECT_EQ(open(), error_open_failed);
    EXPECT_EQ(fake.openAttempts, 3); // none of these is waited out
    EXPECT_EQ(fake.sleptMs, 0u);
}

TEST_F(WaveOutput, PcmLevelAndBalanceSplitTheWaveOutVolume)
{
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_pcm_level | control_balance, Ctl().pcm(100).balance(75)), 0);
    EXPECT_EQ(fake.volume, volume(32767, 65535));
    EXPECT_EQ(read(control_pcm_level | control_balance).pcm_level, 100u);
    EXPECT_EQ(read(control_balance).balance, 75u);

    EXPECT_EQ(control(control_pcm_level | control_balance, Ctl().pcm(50).balance(50)), 0);
    EXPECT_EQ(fake.volume, volume(32767, 32767));
    EXPECT_EQ(read(control_pcm_level).pcm_level, 49u); // 32767 * 100 / 65535, truncated

    // The balance alone splits the louder channel of the volume as it is.
    EXPECT_EQ(control(control_balance, Ctl().balance(25)), 0);
    EXPECT_EQ(fake.volume, volume(32767, 16383));
    EXPECT_EQ(read(control_balance).balance, 25u);
    EXPECT_EQ(control(control_balance, Ctl().balance(29)), 0);
    EXPECT_EQ(read(control_balance).balance, 29u);

    // Out of range is the end of the range.
    EXPECT_EQ(control(control_pcm_level | control_balance, Ctl().pcm(300).balance(250)), 0);
    EXPECT_EQ(fake.volume, volume(0, 65535));
}

TEST_F(WaveOutput, TheBalanceStartsFromTheDeviceVolume)
{
    fake.volume = volume(20000, 60000);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(read(control_balance | control_pcm_level).balance, 75u);
    EXPECT_EQ(read(control_pcm_level).pcm_level, 91u); // 60000 * 100 / 65535
    output_close(d);

    fake.volume = 0;
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(read(control_balance).balance, 50u);
    output_close(d);

    fake.volume = volume(100, 0);
    fake.volumeReadFails = true;
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(read(control_balance).balance, 50u);
}

TEST_F(WaveOutput, MuteSilencesTheDeviceAndUnmuteRestoresIt)
{
    fake.volume = volume(40000, 40000);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_mute), 0);
    EXPECT_EQ(fake.volume, 0u);
    // Levels set while muted are kept, not heard.
    EXPECT_EQ(control(control_pcm_level, Ctl().pcm(100)), 0);
    EXPECT_EQ(fake.volume, 0u);
    // A format change keeps the device muted.
    fake.volumeAtOpen = volume(50000, 50000);
    EXPECT_EQ(control(control_channels | control_sample_rate, Ctl().rate(48000).channels(2)), 0);
    EXPECT_EQ(fake.volume, 0u);
    EXPECT_EQ(control(control_unmute), 0);
    EXPECT_EQ(fake.volume, volume(65535, 65535));
    fake.volumeAtOpen = -1;

    // Unmuting without any level set gives back what the device had.
    output_close(d);
    fake.volume = volume(30000, 10000);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_mute), 0);
    EXPECT_EQ(control(control_unmute), 0);
    EXPECT_EQ(fake.volume, volume(30000, 10000));
}

TEST_F(WaveOutput, TheMixerCarriesTheMasterLevel)
{
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(messages(),
              (std::vector<std::string>{"mixer caps: mid=1, pid=2, version=3.4, name=Fake Mixer, 1 destinations",
                                        "mixer control: name=Master Volume, min=0, max=65535, steps=100"}));
    EXPECT_EQ(control(control_master_level, Ctl().master(50)), 0);
    EXPECT_EQ(fake.mixerValue, 32767u);
    EXPECT_EQ(read(control_master_level).master_level, 49u);
    EXPECT_EQ(control(control_master_level, Ctl().master(100)), 0);
    EXPECT_EQ(fake.mixerValue, 65535u);
    fake.mixerReadFails = true;
    EXPECT_EQ(read(control_master_level).master_level, 0u);
    output_close(d);
    EXPECT_FALSE(fake.mixerOpen);

    // A control whose range does not start at 0 reads back what was set.
    fake.mixerReadFails = false;
    fake.mixerMinimum = 100;
    fake.mixerMaximum = 1100;
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_master_level, Ctl().master(30)), 0);
    EXPECT_EQ(fake.mixerValue, 400u);
    EXPECT_EQ(read(control_master_level).master_level, 30u);
}

TEST_F(WaveOutput, WithoutAMixerOpenSucceedsAndMasterLevelIsUnavailable)
{
    fake.mixerOpenResult = MMSYSERR_BADDEVICEID;
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"cannot open mixer (2)"});
    EXPECT_EQ(control(control_master_level, Ctl().master(50)), 0);
    EXPECT_TRUE(fake.mixerValuesSet.empty());
    EXPECT_EQ(read(control_master_level).master_level, 1234u);
    output_close(d);

    // A mixer without a speaker line is let go again.
    channel.clear();
    fake.mixerOpenResult = MMSYSERR_NOERROR;
    fake.mixerLineResult = MIXERR_INVALLINE;
    ASSERT_EQ(open(), 0);
    EXPECT_FALSE(fake.mixerOpen);
    std::vector<std::string> m = messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1], "cannot open mixer (" + std::to_string(MIXERR_INVALLINE) + ")");
}

TEST_F(WaveOutput, BlocksGoRoundTheRingOfFortyEight)
{
    ASSERT_EQ(open(), 0);
    std::vector<uint8_t> all;
    std::vector<void*> buffers;
    for (int i = 0; i < 50; ++i) {
        auto block = noise16(1152 * 2, static_cast<uint32_t>(i + 1));
        buffers.push_back(head()->table.get_buffer(head(), static_cast<uint32_t>(block.size())));
        ASSERT_EQ(play(block), 0);
        all.insert(all.end(), block.begin(), block.end());
    }
    EXPECT_TRUE(fake.played == all);
    EXPECT_EQ(buffers[48], buffers[0]); // reused, not made anew
    EXPECT_EQ(buffers[49], buffers[1]);
    EXPECT_NE(buffers[1], buffers[0]);
    EXPECT_EQ(fake.prepares, 48);

    // A shorter block goes out at its own length; a longer one than the
    // block holds gets a bigger block.
    EXPECT_EQ(play(noise16(100)), 0);
    EXPECT_EQ(fake.played.size(), all.size() + 200);
    EXPECT_EQ(play(noise16(8000, 9)), 0);
    EXPECT_EQ(fake.played.size(), all.size() + 200 + 16000);
    EXPECT_EQ(fake.unprepares, 1);
    EXPECT_TRUE(std::equal(fake.played.end() - 16000, fake.played.end(), noise16(8000, 9).begin()));
}

TEST_F(WaveOutput, AWriteWaitsForItsBlockToBePlayed)
{
    ASSERT_EQ(open(), 0);
    fake.autoDone = false;
    fake.completeAfterSleeps = 3; // the device finishes a block every 30 ms
    for (int i = 0; i < 48; ++i)
        ASSERT_EQ(play(noise16(64)), 0);
    EXPECT_EQ(fake.sleeps, 0);
    ASSERT_EQ(play(noise16(64)), 0); // the ring is full: the first block must be played first
    EXPECT_EQ(fake.sleeps, 3);
    EXPECT_EQ(fake.sleptMs, 30u);

    // A device that never finishes is waited for 10 s at most.
    fake.completeAfterSleeps = 0;
    for (int i = 0; i < 47; ++i)
        ASSERT_EQ(play(noise16(64)), 0);
    fake.sleeps = 0;
    EXPECT_NE(head()->table.get_buffer(head(), 128), nullptr);
    EXPECT_EQ(fake.sleeps, 1000);
    fake.completeAll();
}

TEST_F(WaveOutput, FailedWritesAreReportedAndLeaveNothingInFlight)
{
    EXPECT_EQ(table().write(nullptr, noise16(4).data(), 8, 2, 2, 44100), error_invalid_parameters) << "no instance";
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(head()->table.write(head(), nullptr, 8, 2, 2, 44100), error_invalid_parameters);
    fake.prepareResult = MMSYSERR_NOMEM;
    EXPECT_EQ(play(noise16(64)), error_write_failed);
    fake.prepareResult = MMSYSERR_NOERROR;
    fake.writeResult = MMSYSERR_ERROR;
    fake.autoDone = false;
    EXPECT_EQ(play(noise16(64)), error_write_failed);
    // The failed block is not waited for.
    fake.writeResult = MMSYSERR_NOERROR;
    EXPECT_EQ(play(noise16(64)), 0);
    EXPECT_EQ(fake.sleeps, 0);
    EXPECT_EQ(delay(), 0u + 16 * 1000 / 44100);
    fake.completeAll();
}

TEST_F(WaveOutput, ABlockOfTheCallersOwnIsCopied)
{
    ASSERT_EQ(open(), 0);
    auto block = noise16(3000, 4);
    EXPECT_EQ(head()->table.write(head(), block.data(), static_cast<uint32_t>(block.size()), 2, 2, 44100), 0);
    void* small = head()->table.get_buffer(head(), 16);
    auto second = noise16(8);
    EXPECT_EQ(head()->table.write(head(), second.data(), 16, 2, 2, 44100), 0);
    EXPECT_NE(small, nullptr);
    block.insert(block.end(), second.begin(), second.end());
    EXPECT_TRUE(fake.played == block);
}

TEST_F(WaveOutput, DelayIsWhatIsQueuedButNotPlayed)
{
    ASSERT_EQ(open(), 0);
    fake.autoDone = false;
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(play(noise16(4410 * 2)), 0);
    fake.position = 4410;
    EXPECT_EQ(delay(), 300u);
    fake.positionFails = true;
    EXPECT_EQ(delay(), 0u);
    fake.positionFails = false;
    fake.position = 5 * 4410; // a device ahead of what was written
    EXPECT_EQ(delay(), 0u);

    // Mono at 22050 Hz counts samples per channel.
    fake.completeAll();
    EXPECT_EQ(control(control_channels | control_sample_rate, Ctl().rate(22050).channels(1)), 0);
    ASSERT_EQ(play(noise16(22050), 1), 0);
    EXPECT_EQ(delay(), 1000u);

    // A reset forgets what was queued.
    EXPECT_EQ(control(control_reset), 0);
    EXPECT_EQ(delay(), 0u);
}

TEST_F(WaveOutput, PauseResumeAndReset)
{
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_pause), 0);
    EXPECT_EQ(control(control_pause), 0);
    EXPECT_EQ(control(control_resume), 0);
    EXPECT_EQ(control(control_resume), 0);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"pause", "restart"}));

    fake.calls.clear();
    fake.autoDone = false;
    ASSERT_EQ(play(noise16(64)), 0);
    EXPECT_EQ(control(control_pause), 0);
    EXPECT_EQ(control(control_reset), 0); // resumes, and every block comes back
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"pause", "reset", "restart"}));
    EXPECT_EQ(fake.sleptMs, 100u);
    // Drain, ports and the sample size mean nothing to this output.
    EXPECT_EQ(control(control_drain | control_ports | control_bytes_per_sample), 0);
    EXPECT_EQ(fake.calls.size(), 3u);
}

TEST_F(WaveOutput, CloseLetsTheQueuedBlocksPlayOut)
{
    ASSERT_EQ(open(), 0);
    fake.autoDone = false;
    fake.completeAfterSleeps = 5;
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(play(noise16(64)), 0);
    EXPECT_EQ(control(control_pause), 0);
    ASSERT_EQ(output_close(d), 0);
    EXPECT_EQ(fake.calls, (std::vector<std::string>{"pause", "restart", "reset"}));
    EXPECT_EQ(fake.sleeps, 5);
    EXPECT_EQ(fake.unprepares, 3);
    EXPECT_EQ(fake.closes, 1);
    EXPECT_FALSE(fake.isOpen);
    EXPECT_FALSE(fake.mixerOpen);

    // Opened again, the ring starts afresh with the blocks it has.
    fake.autoDone = true;
    ASSERT_EQ(open(), 0);
    ASSERT_EQ(play(noise16(64)), 0);
    EXPECT_EQ(fake.prepares, 4);
}

// The watchers that the decoder's environment holds for modules.
std::set<void*> watchers;
decltype(decoder_services::environment_watch) realWatch;
decltype(decoder_services::environment_unwatch) realUnwatch;

int countedWatch(decoder* d, const char* name, player_watch_function f, void* user, void** watcher)
{
    int r = realWatch(d, name, f, user, watcher);
    if (r == 0)
        watchers.insert(*watcher);
    return r;
}

int countedUnwatch(decoder* d, void* watcher)
{
    watchers.erase(watcher);
    return realUnwatch(d, watcher);
}

TEST_F(WaveOutput, ThePlaybackRateFollowsTheEnvironment)
{
    realWatch = std::exchange(d.services.environment_watch, countedWatch);
    realUnwatch = std::exchange(d.services.environment_unwatch, countedUnwatch);
    d.environment.set_integer("OUTPUT.WAVE.PLAYBACK-RATE", 0x8000); // before the device opens
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(fake.ratesSet, std::vector<DWORD>{0x8000});
    d.environment.set_integer("OUTPUT.WAVE.PLAYBACK-RATE", 0x18000);
    d.environment.set_string("OUTPUT.WAVE.PLAYBACK-RATE", "0x20000"); // refused: it is an integer
    d.environment.unset("OUTPUT.WAVE.PLAYBACK-RATE");
    d.environment.set_string("OUTPUT.WAVE.PLAYBACK-RATE", "0x20000");
    EXPECT_EQ(fake.ratesSet, (std::vector<DWORD>{0x8000, 0x18000, 0x10000, 0x20000}));

    output_close(d);
    d.environment.set_string("OUTPUT.WAVE.PLAYBACK-RATE", "0x4000"); // nothing open
    EXPECT_EQ(fake.ratesSet.size(), 4u);

    // A deleted instance watches no more: its successor hears each change once.
    ASSERT_EQ(output_new(d, "/dev/wave/1", -1), 0); // another name: a new instance
    ASSERT_EQ(output_open(d), 0);
    EXPECT_EQ(fake.ratesSet.back(), 0x4000u);
    d.environment.set_string("OUTPUT.WAVE.PLAYBACK-RATE", "65536");
    EXPECT_EQ(fake.ratesSet.size(), 6u);
    output_close(d);
    ASSERT_EQ(output_new(d, "/dev/wave/2", -1), 0);
    ASSERT_EQ(output_open(d), 0);
    d.environment.set_string("OUTPUT.WAVE.PLAYBACK-RATE", "0x20000");
    EXPECT_EQ(fake.ratesSet,
              (std::vector<DWORD>{0x8000, 0x18000, 0x10000, 0x20000, 0x4000, 0x10000, 0x10000, 0x20000}));
    EXPECT_EQ(watchers.size(), 1u);
    output_close(d);
    ASSERT_EQ(register_output_module(d, file_output_module_register), 1);
    ASSERT_EQ(output_new(d, "raw:out.raw", -1), 0); // the wave instance is deleted
    EXPECT_TRUE(watchers.empty());
}

TEST_F(WaveOutput, TheCodecDecodesIntoTheRingAndEverySampleIsPlayed)
{
    TempDir dir;
    WaveLayout wave;
    wave.data = noise16(2 * 30000, 11);
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    ASSERT_EQ(register_input_module(d, file_input_module_register), 0);
    ASSERT_EQ(register_codec_module(d, wave_codec_module_register), 0);
    ASSERT_EQ(open(), 0);
    ASSERT_EQ(input_new(d, dir.file("in.wav").c_str(), -1), 0);
    ASSERT_EQ(input_open(d), 0);
    int r = 0;
    for (int i = 0; i < 10000 && r == 0; ++i)
        r = decode_step(d);
    EXPECT_LT(r, 0); // the end of the stream
    EXPECT_TRUE(fake.played == wave.data) << fake.played.size() << " bytes played of " << wave.data.size();
    EXPECT_LE(fake.prepares, 48);
    input_close(d);
}

} // namespace
