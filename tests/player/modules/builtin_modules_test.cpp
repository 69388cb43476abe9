// The default hook list of the Windows build: its "init-hook" registers the
// built-in modules so that their ids are fixed, the sound device and the
// WAVE codec included, and names go to the newest module that takes them.
#include "decoder/decoder.h"
#include "fake_wave_device.h"
#include "decoder/module_system.h"
#include "codecs/codec_modules.h"
#include "modules/builtin_modules.h"
#include "net/network_module.h"
#include "decoder/pipeline.h"
#include "recording_channel.h"
#include "decoder/decoder_loop.h"

#include <gtest/gtest.h>

using namespace melvox;

namespace {

template <typename Table>
Table filled(int (*entry)(Table*))
{
    Table t{};
    EXPECT_EQ(entry(&t), 0);
    return t;
}

class BuiltinModules : public ::testing::Test {
protected:
    void SetUp() override { run_hooks(d, default_hook_list()); }

    FakeWaveDevice fake;
    RecordingChannel channel;
    player_decoder d{channel};
};

TEST_F(BuiltinModules, IdsFollowTheOrderOfRegistration)
{
    ASSERT_EQ(d.input_modules.count(), 2);
    EXPECT_EQ(d.input_modules.find(0)->table.input.read, filled(file_input_module_register).read);
    EXPECT_EQ(d.input_modules.find(1)->table.input.read, filled(network_input_module_register).read);

    ASSERT_EQ(d.output_modules.count(), 2);
    EXPECT_EQ(d.output_modules.find(0)->table.output.write, filled(file_output_module_register).write);
    EXPECT_EQ(d.output_modules.find(1)->table.output.write, filled(wave_output_module_register).write);

    ASSERT_EQ(d.codec_modules.count(), 2);
    EXPECT_EQ(d.codec_modules.find(0)->table.codec.decode, filled(mpeg_codec_module_register).decode);
    EXPECT_EQ(d.codec_modules.find(1)->table.codec.decode, filled(wave_codec_module_register).decode);
}

TEST_F(BuiltinModules, TheSoundDeviceIsOfferedANameBeforeTheFileOutput)
{
    const module_entry* e = nullptr;
    ASSERT_EQ(select_output_module(d, "", -1, &e), 0);
    EXPECT_EQ(e->id, 1);
    ASSERT_EQ(select_output_module(d, "/dev/wave/1", -1, &e), 0);
    EXPECT_EQ(e->id, 1);
    ASSERT_EQ(select_output_module(d, "wav:out.wav", -1, &e), 0);
    EXPECT_EQ(e->id, 0);

    // The default output plays on the default wave device.
    ASSERT_EQ(output_new(d, "", -1), 0);
    ASSERT_EQ(output_open(d), 0);
    EXPECT_EQ(fake.lastDevice, WAVE_MAPPER);
    output_close(d);
}

TEST_F(BuiltinModules, WaveStreamsFindTheBuiltInWaveCodec)
{
    const module_entry* e = nullptr;
    ASSERT_EQ(select_codec_module(d, "audio/x-wav", "music.wav", -1, &e), 0);
    EXPECT_EQ(e->id, 1);
    ASSERT_EQ(select_codec_module(d, "audio/mpeg", "music.mp3", -1, &e), 0);
    EXPECT_EQ(e->id, 0);
}

} // namespace
