// The OSS output module on a pretend sound card (oss_shim.c, preloaded): the
// devices that no emulation offers — 8-bit only, busy, refusing, answering
// with the wrong byte order — and the mixer.
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"
#include "preload_main.h"
#include "recording_channel.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <sstream>

using namespace melvox;

namespace {

// An output control record with some of its words set.
struct Ctl : output_control {
    Ctl() : output_control{} {}
    Ctl& bytes(uint32_t v) { return bytes_per_sample = v, *this; }
    Ctl& rate(uint32_t v) { return sample_rate = v, *this; }
    Ctl& channels(uint32_t v) { return output_control::channels = v, *this; }
    Ctl& master(uint32_t v) { return master_level = v, *this; }
    Ctl& pcm(uint32_t v) { return pcm_level = v, *this; }
    Ctl& balance(uint32_t v) { return output_control::balance = v, *this; }
};

class OssDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(dlsym(RTLD_DEFAULT, "oss_shim_present"), nullptr) << "the pretend sound card is not preloaded";
        for (const char* name :
             {"OSS_SHIM_DEVICES", "OSS_SHIM_OPEN", "OSS_SHIM_CAPS", "OSS_SHIM_FORMATS", "OSS_SHIM_SWAP_BUG",
              "OSS_SHIM_FAIL", "OSS_SHIM_WRITE", "OSS_SHIM_PCM", "OSS_SHIM_VOLUME"})
            unsetenv(name);
        setenv("OSS_SHIM_LOG", dir.file("log").c_str(), 1);
        setenv("OSS_SHIM_DATA", dir.file("data").c_str(), 1);
        d.settings.debug_level = 1;
        ASSERT_EQ(register_output_module(d, oss_output_module_register), 0);
    }

    void TearDown() override
    {
        if (d.output.open)
            output_close(d);
    }

    // Makes an instance for name and opens it.
    int open(const char* name = "")
    {
        if (int r = output_new(d, name, -1); r < 0)
            return r;
        return output_open(d);
    }

    output_filter_node* head() { return d.output_chain.head(); }

    int control(uint32_t mask, const output_control& c = Ctl()) { return head()->table.set_control(head(), &c, mask); }

    int write(const std::vector<uint8_t>& bytes)
    {
        return head()->table.write(head(), bytes.data(), static_cast<uint32_t>(bytes.size()), 2, 2, 44100);
    }

    // The module's messages ("message (detail)"), one a line, with levels.
    std::string messages()
    {
        std::ostringstream text;
        for (const player_message* m : channel.all(notify_debug))
            text << int(player_message_byte(m, 5)) << " " << static_cast<const char*>(player_message_pointer(m, 8))
                 << "\n";
        return text.str();
    }

    std::string log() const { return readFile(dir.file("log")); }
    std::vector<uint8_t> played() const { return readBytes(dir.file("data")); }

    TempDir dir;
    RecordingChannel channel;
    player_decoder d{channel};
};

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<uint8_t> samples(std::initializer_list<int16_t> values)
{
    std::vector<uint8_t> bytes(values.size() * 2);
    std::memcpy(bytes.data(), std::data(values), bytes.size());
    return bytes;
}

TEST_F(OssDevice, TheBestOfferedFormatIsChosen)
{
    setenv("OSS_SHIM_FORMATS", "0x39", 1); // mu law, 8-bit, both 16-bit orders
    ASSERT_EQ(open(), 0);
    EXPECT_TRUE(contains(log(), "setfmt 10 -> 10")) << log();
    EXPECT_TRUE(contains(messages(), "1 supported formats = 39\n")) << messages();
    EXPECT_TRUE(contains(messages(), "1 best format selected (16 bits signed, little-endian)\n")) << messages();
    output_close(d);

    setenv("OSS_SHIM_FORMATS", "0x9", 1); // mu law and 8-bit unsigned only
    ASSERT_EQ(open(), 0);
    EXPECT_TRUE(contains(log(), "setfmt 1 -> 1")) << log();
    EXPECT_TRUE(contains(messages(), "best format selected (mu law)")) << messages();
    // The caps name what the device offered: 8-bit, mu law, no 16-bit.
    EXPECT_EQ(head()->table.get_caps(head()), 0x5c7fc0u | 0x18000u);
}

TEST_F(OssDevice, An8BitDeviceGetsTheSamplesConverted)
{
    setenv("OSS_SHIM_FORMATS", "0x9", 1);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_bytes_per_sample, Ctl().bytes(2)), 0);
    EXPECT_TRUE(contains(messages(), "1 setting format to mu law\n")) << messages();
    auto block = samples({0, 32767, -32768, -1});
    auto kept = block;
    EXPECT_EQ(write(block), 0);
    EXPECT_EQ(played(), (std::vector<uint8_t>{0xff, 0x80, 0x00, 0x7f}));
    EXPECT_EQ(block, kept);

    output_close(d);
    setenv("OSS_SHIM_FORMATS", "0x8", 1);
    ASSERT_EQ(open(), 0);
    std::remove(dir.file("data").c_str());
    EXPECT_EQ(control(control_bytes_per_sample, Ctl().bytes(2)), 0);
    EXPECT_EQ(write(samples({0, 32767, -32768, 0x1234})), 0);
    EXPECT_EQ(played(), (std::vector<uint8_t>{0x80, 0xff, 0x00, 0x92}));
}

TEST_F(OssDevice, BigEndianDevicesGetSwappedSamples)
{
    // A driver that offers only big-endian and answers little-endian.
    setenv("OSS_SHIM_FORMATS", "0x20", 1);
    setenv("OSS_SHIM_SWAP_BUG", "1", 1);
    ASSERT_EQ(open(), 0);
    std::string m = messages();
    EXPECT_TRUE(contains(m, "1 hardware refused format (16 bits signed, big-endian), using suggested (16 bits "
                            "signed, little-endian)\n"))
        << m;
    EXPECT_TRUE(contains(m, "1 module will swap samples to correct driver bug\n")) << m;
    auto block = samples({0x0102, -2});
    auto kept = block;
    EXPECT_EQ(write(block), 0);
    EXPECT_EQ(played(), (std::vector<uint8_t>{0x01, 0x02, 0xff, 0xfe}));
    // The decoder's block is left as it was: feedback reads it after the write.
    EXPECT_EQ(block, kept);
    output_close(d);

    // A device that really plays big-endian gets big-endian as well.
    unsetenv("OSS_SHIM_SWAP_BUG");
    std::remove(dir.file("data").c_str());
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_bytes_per_sample, Ctl().bytes(2)), 0);
    EXPECT_EQ(write(samples({0x0102})), 0);
    EXPECT_EQ(played(), (std::vector<uint8_t>{0x01, 0x02}));
}

TEST_F(OssDevice, WithoutTheFormatListKnownFormatsAreTriedInTurn)
{
    setenv("OSS_SHIM_FAIL", "formats", 1);
    setenv("OSS_SHIM_FORMATS", "0x9", 1); // what setfmt still takes
    ASSERT_EQ(open(), 0);
    EXPECT_TRUE(contains(messages(), "0 cannot get supported formats (Invalid argument)\n")) << messages();
    EXPECT_TRUE(contains(log(), "setfmt 10 -> 8\nsetfmt 1 -> 1\n")) << log();
    EXPECT_EQ(head()->table.get_caps(head()) & 0x38000u, 0x38000u);
    output_close(d);

    setenv("OSS_SHIM_FAIL", "formats setfmt", 1);
    ASSERT_EQ(open(), 0);
    EXPECT_TRUE(contains(messages(), "0 cannot set any known format\n")) << messages();
}

TEST_F(OssDevice, MixerLevelsFollowTheBalance)
{
    setenv("OSS_SHIM_DEVICES", "/dev/dsp /dev/mixer", 1);
    setenv("OSS_SHIM_PCM", "0x2850", 1);    // left 80, right 40
    setenv("OSS_SHIM_VOLUME", "0x143c", 1); // left 60, right 20: balance 0.25
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(head()->table.get_caps(head()) & 7u, 7u);
    output_control got{};
    head()->table.get_control(head(), &got, control_master_level | control_pcm_level | control_balance);
    EXPECT_EQ(got.master_level, 60u);
    EXPECT_EQ(got.pcm_level, 80u);
    EXPECT_EQ(got.balance, 33u); // 40 / 120, truncated

    EXPECT_EQ(control(control_balance | control_pcm_level, Ctl().pcm(80).balance(25)), 0);
    EXPECT_TRUE(contains(log(), "pcm left 80 right 40\n")) << log();
    EXPECT_EQ(control(control_balance, Ctl().balance(75)), 0); // keeps level 80
    EXPECT_TRUE(contains(log(), "pcm left 40 right 80\n")) << log();
    EXPECT_EQ(control(control_master_level, Ctl().master(80)), 0);
    EXPECT_TRUE(contains(log(), "master left 80 right 40\n")) << log();

    // Muted: level changes are kept, not heard, until unmute.
    EXPECT_EQ(control(control_mute), 0);
    EXPECT_EQ(control(control_pcm_level, Ctl().pcm(50)), 0);
    EXPECT_EQ(control(control_mute), 0); // already muted: nothing more
    EXPECT_EQ(control(control_unmute), 0);
    std::string l = log();
    EXPECT_TRUE(contains(l, "pcm left 0 right 0\npcm left 25 right 50\n")) << l;
    head()->table.get_control(head(), &got, control_pcm_level | control_balance);
    EXPECT_EQ(got.pcm_level, 50u);
    EXPECT_EQ(got.balance, 75u);

    setenv("OSS_SHIM_FAIL", "writepcm", 1);
    EXPECT_EQ(control(control_pcm_level, Ctl().pcm(10)), error_ioctl_failed);
    EXPECT_TRUE(contains(messages(), "0 cannot set pcm volume (Invalid argument)\n")) << messages();
}

TEST_F(OssDevice, WithoutAMixerVolumeDoesNothingAndOpenSucceeds)
{
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(messages(), "0 mixer device /dev/mixer does not exist\n"
                          "0 mixer device /dev/mixer0 does not exist\n"
                          "0 mixer device /dev/mixer1 does not exist\n"
                          "0 volume/balance control disabled (no mixer device found)\n"
                          "1 supported formats = 18\n"
                          "1 best format selected (16 bits signed, little-endian)\n");
    EXPECT_EQ(control(control_pcm_level | control_master_level | control_mute, Ctl().master(50).pcm(50)), 0);
    EXPECT_FALSE(contains(log(), "left")) << log();
    output_control got{};
    head()->table.get_control(head(), &got, control_pcm_level);
    EXPECT_EQ(got.pcm_level, 0u);
    EXPECT_EQ(head()->table.get_caps(head()) & 7u, 0u);
}

TEST_F(OssDevice, MixerFailuresAreReportedAndOpenGoesOn)
{
    setenv("OSS_SHIM_DEVICES", "/dev/dsp /dev/mixer1", 1);
    setenv("OSS_SHIM_FAIL", "readpcm readvolume fragment caps", 1);
    ASSERT_EQ(open(), 0);
    std::string m = messages();
    EXPECT_TRUE(contains(m, "0 mixer device /dev/mixer0 does not exist\n0 cannot read pcm volume (Invalid "
                            "argument)\n0 cannot get master volume (Invalid argument)\n"))
        << m;
    EXPECT_TRUE(contains(m, "1 cannot set fragment size (Invalid argument)\n0 cannot get device caps")) << m;
    EXPECT_FALSE(contains(log(), "trigger")) << log();
}

TEST_F(OssDevice, OpenErrorsHaveTheirCodes)
{
    setenv("OSS_SHIM_DEVICES", "/dev/mixer", 1);
    EXPECT_EQ(open(), error_no_such_device_name);
    EXPECT_TRUE(contains(messages(), "0 audio device /dev/dsp does not exist\n"
                                     "0 audio device /dev/dsp0 does not exist\n"
                                     "0 audio device /dev/dsp1 does not exist\n"
                                     "0 no audio device found\n"))
        << messages();
    EXPECT_TRUE(contains(log(), "open /dev/dsp1: absent\nclose mixer\n")) << log(); // the mixer is let go

    setenv("OSS_SHIM_DEVICES", "/dev/dsp1", 1);
    EXPECT_EQ(open(), 0);
    EXPECT_TRUE(contains(log(), "open /dev/dsp1\n")) << log();
    output_close(d);
    EXPECT_EQ(open("/dev/dsp0"), error_no_such_device_name);

    setenv("OSS_SHIM_DEVICES", "/dev/dsp", 1);
    channel.clear();
    setenv("OSS_SHIM_OPEN", "EBUSY", 1);
    EXPECT_EQ(open(), error_device_busy);
    EXPECT_TRUE(contains(messages(), "0 audio device busy\n")) << messages();
    setenv("OSS_SHIM_OPEN", "EACCES", 1);
    EXPECT_EQ(open(), error_permission_denied);
    EXPECT_TRUE(contains(messages(), "0 access denied\n")) << messages();
    setenv("OSS_SHIM_OPEN", "EIO", 1);
    EXPECT_EQ(open(), error_open_failed);
    EXPECT_TRUE(contains(messages(), "0 cannot open audio device /dev/dsp (Input/output error)\n")) << messages();
}

TEST_F(OssDevice, ControlRequestsAndTheirFailures)
{
    ASSERT_EQ(open(), 0);
    std::remove(dir.file("log").c_str());
    EXPECT_EQ(control(control_channels | control_sample_rate, Ctl().rate(22050).channels(1)), 0);
    EXPECT_EQ(control(control_channels, Ctl().channels(2)),
              error_invalid_parameters); // a channel change needs its rate
    EXPECT_EQ(control(control_pause), 0);
    EXPECT_EQ(control(control_drain), 0);
    EXPECT_EQ(control(control_resume | control_ports), 0);
    EXPECT_EQ(control(control_bytes_per_sample, Ctl().bytes(3)), error_unsupported_format);
    EXPECT_EQ(log(), "reset\nstereo 0\nspeed 22050\n"
                     "reset\nstereo 1\n"
                     "reset\nsync\nsetfmt 0 -> 10\n");
    EXPECT_TRUE(contains(messages(), "1 setting format to unknown\n")) << messages();

    setenv("OSS_SHIM_FAIL", "reset sync speed", 1);
    EXPECT_EQ(control(control_reset), error_ioctl_failed);
    EXPECT_EQ(control(control_pause), error_ioctl_failed);
    EXPECT_EQ(control(control_drain), error_ioctl_failed);
    EXPECT_EQ(control(control_sample_rate, Ctl().rate(8000)), error_ioctl_failed);
    std::string m = messages();
    EXPECT_TRUE(contains(m, "0 cannot reset device (Invalid argument)\n"
                            "0 cannot use SNDCTL_DSP_RESET ioctl (Invalid argument)\n"
                            "0 cannot reset device (Invalid argument)\n"
                            "0 cannot reset device (Invalid argument)\n0 cannot set sample rate"))
        << m;

    uint32_t delay = 0;
    EXPECT_EQ(head()->table.get_status(head(), &delay), 0);
    EXPECT_EQ(delay, 500u);
}

TEST_F(OssDevice, TheTriggerStartsOutputOnceTheCountdownIsWritten)
{
    ASSERT_EQ(open(), 0);
    EXPECT_TRUE(contains(log(), "trigger off\n")) << log();
    // 44100 Hz stereo: output starts after 44100 * 2 / 4 bytes.
    EXPECT_EQ(control(control_channels | control_sample_rate, Ctl().rate(44100).channels(2)), 0);
    std::remove(dir.file("log").c_str());
    auto block = noise16(4096); // 8192 bytes
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(write(block), 0);
    EXPECT_EQ(log(), "write 8192\nwrite 8192\ntrigger on\nwrite 8192\n");
    EXPECT_EQ(played().size(), 3 * block.size());
    // Later rate changes set no new countdown.
    EXPECT_EQ(control(control_sample_rate, Ctl().rate(8000)), 0);
    EXPECT_EQ(write(block), 0);
    std::string l = log();
    EXPECT_EQ(l.find("trigger on"), l.rfind("trigger on")) << l;

    // A device without a trigger plays from the first byte.
    output_close(d);
    setenv("OSS_SHIM_CAPS", "0", 1);
    std::remove(dir.file("log").c_str());
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(write(block), 0);
    EXPECT_FALSE(contains(log(), "trigger")) << log();
}

TEST_F(OssDevice, WritesThatBlockOrStallAreHandled)
{
    setenv("OSS_SHIM_WRITE", "eagain 2", 1);
    ASSERT_EQ(open(), 0);
    EXPECT_EQ(control(control_channels | control_sample_rate, Ctl().rate(44100).channels(2)), 0);
    std::remove(dir.file("log").c_str());
    auto block = noise16(1000);
    EXPECT_EQ(write(block), 0);
    // A full queue starts the output at once; nothing is lost.
    EXPECT_EQ(log(), "write: EAGAIN\ntrigger on\nwrite: EAGAIN\nwrite 2000\n");
    EXPECT_EQ(played(), block);

    setenv("OSS_SHIM_WRITE", "partial", 1);
    std::remove(dir.file("data").c_str());
    block = noise16(2500, 7);
    EXPECT_EQ(write(block), 0);
    EXPECT_EQ(played(), block);

    setenv("OSS_SHIM_WRITE", "stuck", 1);
    EXPECT_EQ(write(block), error_write_failed);
}

TEST_F(OssDevice, ProbeAndDescription)
{
    const output_module& t = d.output_modules.find(0)->table.output;
    EXPECT_EQ(t.probe(""), 0);
    EXPECT_EQ(t.probe("/dev/dsp1"), 0);
    EXPECT_EQ(t.probe("wav:x.wav"), error_unsupported_output_type);
    module_info info{};
    ASSERT_EQ(t.query(&info, query_module_name | query_device_count), 0);
    EXPECT_STREQ(info.name, "OSS Sound Driver Interface");
    EXPECT_STREQ(info.description, "Version 1.4");
    EXPECT_EQ(info.index, 4u);
    info.index = 3;
    ASSERT_EQ(t.query(&info, query_device), 0);
    EXPECT_STREQ(info.name, "/dev/*");
    EXPECT_EQ(info.flags, 1u);
    info.index = 4;
    EXPECT_EQ(t.query(&info, query_device), error_invalid_parameters);
}

} // namespace

int main(int argc, char** argv)
{
    runWithPreload(argv, OSS_SHIM_LIBRARY, "OSS_SHIM_RUNNING");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
