// The wave output on a machine without sound: run with an ALSA
// configuration that defines no device, Wine's winmm offers no wave-out
// device, and the output refuses to open with "no such device".
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"
#include "recording_channel.h"
#include "wave_capture.h"

#include <gtest/gtest.h>

using namespace melvox;

namespace {

TEST(WaveWithoutADevice, OpenIsRefusedAndOnlyTheDefaultIsListed)
{
    if (!underWine())
        GTEST_SKIP() << "needs Wine's ALSA driver without devices";
    RecordingChannel channel;
    player_decoder d{channel};
    ASSERT_EQ(register_output_module(d, wave_output_module_register), 0);
    module_info info{};
    ASSERT_EQ(d.output_modules.find(0)->table.output.query(&info, query_device_count), 0);
    EXPECT_EQ(info.index, 1u);
    info.index = 1;
    EXPECT_EQ(d.output_modules.find(0)->table.output.query(&info, query_device), error_invalid_parameters);

    ASSERT_EQ(output_new(d, "", -1), 0);
    EXPECT_EQ(output_open(d), error_no_such_device_name);
    ASSERT_EQ(output_new(d, "/dev/wave/1", -1), 0);
    EXPECT_EQ(output_open(d), error_no_such_device_name);
}

} // namespace
