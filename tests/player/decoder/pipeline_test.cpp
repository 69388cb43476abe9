// The decoder pipeline inside the test's own process, with modules of the
// test's own: opening, the decode step and its arithmetic, seeking,
// notifications and their order, end of stream and player modes.
#include "decoder/commands.h"
#include "decoder/decoder.h"
#include "fake_modules.h"
#include "messages/message_packer.h"
#include "decoder/module_system.h"
#include "decoder/pipeline.h"
#include "decoder/played_time.h"
#include "recording_channel.h"
#include "decoder/stream_notifications.h"

#include <gtest/gtest.h>

using namespace melvox;

namespace {

TEST(PlayedTime, FramesAddTheirSplitDuration)
{
    EXPECT_EQ(frame_microseconds(1152, 44100), 26122u);
    EXPECT_EQ(frame_microseconds(4608, 44100), 104487u);
    EXPECT_EQ(frame_microseconds(2048, 44100), 46439u);
    EXPECT_EQ(frame_microseconds(1152, 0), 0u);
    // Fifty 26122 us frames carry into whole seconds.
    played_time t;
    for (int i = 0; i < 50; ++i)
        add_microseconds(t, 26122);
    EXPECT_EQ(t.seconds, 1u);
    EXPECT_EQ(t.microseconds, 306100u);
    EXPECT_EQ(timecode_of({3 * 3600 + 25 * 60 + 7, 990000}), (timecode{3, 25, 7, 99}));
    EXPECT_EQ(timecode_fraction(57, 100), 0);
    EXPECT_EQ(timecode_fraction(57, 25), 50);
    EXPECT_EQ(timecode_fraction(57, 1), 57);
    EXPECT_EQ(position_offset(400, 0.5f), 200u);
    EXPECT_EQ(position_offset(400, 1.5f), 400u);
}

// Whether or not the pipeline closed everything in order first, each record
// deletes its instance exactly once when the decoder goes.
TEST(DecoderRecord, EachRecordDeletesItsInstanceOnce)
{
    for (bool closedFirst : {false, true}) {
        resetFakeModules();
        memoryInput.bytes.assign(100000, 0x11);
        RecordingChannel channel;
        {
            player_decoder d{channel};
            register_input_module(d, memory_input_register);
            register_output_module(d, recording_output_register);
            register_codec_module(d, scripted_codec_register);
            ASSERT_EQ(input_new(d, "memory", -1), 0);
            ASSERT_EQ(input_open(d), 0);
            ASSERT_EQ(output_new(d, "out", -1), 0);
            ASSERT_EQ(output_open(d), 0);
            if (closedFirst)
                close_everything(d);
        }
        EXPECT_EQ(memoryInput.deletes, 1) << closedFirst;
        EXPECT_EQ(recordingOutput.deletes, 1) << closedFirst;
        EXPECT_EQ(scriptedCodec.deletes, 1) << closedFirst;
        EXPECT_EQ(memoryInput.closes, closedFirst ? 1 : 0);
    }
}

class Pipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetFakeModules();
        memoryInput.bytes.assign(100000, 0x11);
        register_input_module(d, memory_input_register);
        register_output_module(d, recording_output_register);
    }

    // Registers the scripted codec as it is set up now.
    void addCodec() { register_codec_module(d, scripted_codec_register); }

    // Runs a command as the decoder side takes it; its acknowledgement is
    // among the channel's messages.
    void run(int code, std::initializer_list<intptr_t> words = {})
    {
        player_message m;
        ASSERT_EQ(pack_message(code, words.begin(), words.size(), m), 0);
        take_command(d, m);
    }

    // The result that the last acknowledgement of code carried.
    int resultOf(int code)
    {
        int result = 1;
        for (const auto& k : channel.toCaller) {
            const player_message& m = k->message;
            if ((m.code == notify_ack || m.code == notify_nack) && player_message_byte(&m, 4) == code)
                result = m.code == notify_ack ? 0 : static_cast<int16_t>(player_message_half(&m, 6));
        }
        return result;
    }

    // Decode steps as the decoder loop makes them while playing.
    void step(int times)
    {
        for (int i = 0; i < times && d.state == player_state_playing; ++i)
            finish_step(d, decode_step(d));
    }

    static std::string text(const player_message* m, unsigned offset)
    {
        auto s = static_cast<const char*>(player_message_pointer(m, offset));
        return s != nullptr ? s : "(null)";
    }

    RecordingChannel channel;
    player_decoder d{channel};
};

TEST_F(Pipeline, OpeningTellsStateNameCapsAndTheStreamInOrder)
{
    scriptedCodec.durationMs = 61500;
    addCodec();
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    EXPECT_EQ(channel.takeCodes(),
              (std::vector<uint32_t>{notify_input_state, notify_input_name, notify_input_caps, notify_stream_mime_type,
                                     notify_stream_duration, notify_stream_parameters, notify_ack}));
    EXPECT_EQ(scriptedCodec.resets, 1);
    EXPECT_EQ(scriptedCodec.lastParameterMask, 7u); // all parameters at selection

    run(command_set_output_volume, {255, 50, 255});
    run(command_set_output_ports, {3});
    run(command_output_open, {reinterpret_cast<intptr_t>("speaker")});
    auto codes = channel.takeCodes();
    EXPECT_EQ(
        std::vector<uint32_t>(codes.begin() + 2, codes.end()),
        (std::vector<uint32_t>{notify_output_state, notify_output_name, notify_output_caps, notify_output_balance,
                               notify_output_pcm_level, notify_output_master_level, notify_output_ports, notify_ack}));
    // Only what was set reaches the device: the PCM level and the ports.
    ASSERT_EQ(recordingOutput.controls.size(), 1u);
    EXPECT_EQ(recordingOutput.controls[0].mask, static_cast<uint32_t>(control_pcm_level | control_ports));
    EXPECT_EQ(recordingOutput.controls[0].values.pcm_level, 50u);
    EXPECT_EQ(recordingOutput.controls[0].values.ports, 3u);

    run(command_play);
    EXPECT_EQ(channel.takeCodes(), (std::vector<uint32_t>{notify_player_state, notify_ack}));
    EXPECT_EQ(recordingOutput.controls.back().mask, static_cast<uint32_t>(control_resume));
}

TEST_F(Pipeline, TheFirstFrameAnnouncesItsFormatAndLaterChangesOnlyWhatChanged)
{
    addCodec();
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_set_output_name, {reinterpret_cast<intptr_t>("out")});
    run(command_play);
    ASSERT_EQ(d.state, player_state_playing);
    recordingOutput.controls.clear();
    step(2);
    ASSERT_EQ(recordingOutput.controls.size(), 1u);
    EXPECT_EQ(recordingOutput.controls[0].mask,
              static_cast<uint32_t>(control_bytes_per_sample | control_channels | control_sample_rate));
    EXPECT_EQ(recordingOutput.controls[0].values.sample_rate, 44100u);
    EXPECT_EQ(recordingOutput.controls[0].values.channels, 2u);
    // The file output offers no buffer: the frame came from the scratch buffer, whole.
    EXPECT_EQ(recordingOutput.writeSizes, (std::vector<uint32_t>{1152 * 4, 1152 * 4}));
    scriptedCodec.sampleRate = 22050; // same codec, new rate
    step(1);
    ASSERT_EQ(recordingOutput.controls.size(), 2u);
    EXPECT_EQ(recordingOutput.controls[1].mask, static_cast<uint32_t>(control_sample_rate));
}

TEST_F(Pipeline, TimecodeComesOncePerSecondAtGranularity100)
{
    addCodec();
    d.settings.output_name = "out";
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_play);
    memoryInput.bytes.assign(10000000, 0);
    d.input.size = memoryInput.bytes.size();
    channel.clear();
    step(130); // 130 x 26122 us = 3.4 s
    auto times = channel.all(notify_input_timecode);
    ASSERT_EQ(times.size(), 3u);
    for (uint8_t second = 1; second <= 3; ++second) {
        const player_message* t = times[second - 1];
        EXPECT_EQ(player_message_byte(t, 6), second);
        EXPECT_EQ(player_message_byte(t, 7), 0);
    }
    // A finer granularity shows the fraction in its steps.
    run(command_set_input_timecode_granularity, {25});
    channel.clear();
    step(40);
    auto finer = channel.all(notify_input_timecode);
    ASSERT_GE(finer.size(), 4u);
    for (const player_message* t : finer)
        EXPECT_EQ(player_message_byte(t, 7) % 25, 0);
}

TEST_F(Pipeline, SeekingHalfwayWithAKnownDuration)
{
    memoryInput.bytes.assign(1000000, 0);
    scriptedCodec.durationMs = 240000;
    addCodec();
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    channel.clear();
    run(command_seek, {1, 2});
    EXPECT_EQ(memoryInput.seeks.back(), 500000u);
    EXPECT_EQ(d.input.position, 500000u);
    EXPECT_EQ(scriptedCodec.repositions, (std::vector<uint32_t>{500000}));
    EXPECT_EQ(d.played.seconds, 120u);
    EXPECT_EQ(d.played.microseconds, 0u);
    EXPECT_EQ(channel.takeCodes(), (std::vector<uint32_t>{notify_input_position, notify_input_timecode, notify_ack}));
    const player_message* tc = nullptr;
    run(command_seek, {1, 2}); // told again even when nothing changed
    tc = channel.find(notify_input_timecode);
    ASSERT_NE(tc, nullptr);
    EXPECT_EQ(player_message_byte(tc, 4), 0);
    EXPECT_EQ(player_message_byte(tc, 5), 2);
    EXPECT_EQ(player_message_byte(tc, 6), 0);
    EXPECT_EQ(player_message_byte(tc, 7), 0);
    EXPECT_EQ(player_message_word(channel.find(notify_input_position), 4), 200u);

    // Ratios beyond the stream end at its end; without a duration the
    // bitrate gives the time (128 kbit/s = 16000 bytes per second).
    run(command_seek, {3, 1});
    EXPECT_EQ(d.input.position, 1000000u);
    d.stream.info.duration_ms = 0;
    run(command_seek, {1, 4});
    EXPECT_EQ(d.input.position, 250000u);
    EXPECT_EQ(d.played.seconds, 15u);
    EXPECT_EQ(d.played.microseconds, 625000u);
}

TEST_F(Pipeline, ACodecThatMapsRatiosChoosesTheOffset)
{
    memoryInput.bytes.assign(1000000, 0);
    scriptedCodec.mapsRatio = true; // ratio / 2 out, offset / 2000000 back
    addCodec();
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_seek, {1, 2});
    EXPECT_EQ(d.input.position, 250000u);
    EXPECT_FLOAT_EQ(d.stream.ratio, 0.125f);
}

TEST_F(Pipeline, AnInputOfUnknownSizeKeepsTheRatioAtZero)
{
    memoryInput.reportSize = false;
    addCodec();
    d.settings.output_name = "out";
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_play);
    channel.clear();
    step(20);
    EXPECT_EQ(d.stream.ratio, 0.0f);
    EXPECT_TRUE(channel.all(notify_input_position).empty());
    EXPECT_GT(d.input.position, 0u);
}

TEST_F(Pipeline, TheEndOfTheInputEndsTheStreamAndMode4ClosesTheOutput)
{
    memoryInput.bytes.assign(417 * 3 + 100, 0); // three whole frames and a short tail
    addCodec();
    d.settings.output_name = "out";
    run(command_set_player_mode, {player_mode_drain_at_end});
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_play);
    channel.clear();
    step(10);
    EXPECT_EQ(recordingOutput.writeSizes.size(), 3u);
    EXPECT_EQ(d.state, player_state_end_of_stream);
    EXPECT_FALSE(d.output.open);
    EXPECT_EQ(recordingOutput.controls.back().mask, static_cast<uint32_t>(control_drain));
    EXPECT_EQ(recordingOutput.closes, 1);
    auto state = channel.find(notify_player_state);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(player_message_byte(state, 4), player_state_end_of_stream);
    EXPECT_EQ(channel.find(notify_error), nullptr); // the plain end is no error
    // A seek brings it back to stopped.
    run(command_seek, {0, 1});
    EXPECT_EQ(d.state, player_state_stopped);
}

TEST_F(Pipeline, AFailedFrameEndsTheStreamWithTheReason)
{
    addCodec();
    d.settings.output_name = "out";
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_play);
    step(2);
    // An invalid frame or a timeout is passed over; another failure ends it.
    scriptedCodec.decodeResult = error_invalid_frame;
    step(2);
    EXPECT_EQ(d.state, player_state_playing);
    scriptedCodec.decodeResult = error_timeout;
    step(1);
    EXPECT_EQ(d.state, player_state_playing);
    channel.clear();
    scriptedCodec.decodeResult = error_read_failed;
    step(1);
    EXPECT_EQ(d.state, player_state_end_of_stream);
    EXPECT_EQ(channel.takeCodes(), (std::vector<uint32_t>{notify_error, notify_player_state}));
    EXPECT_TRUE(d.output.open); // mode 0: the output stays open
}

TEST_F(Pipeline, AnOutputThatRefusesTheFormatStopsPlaying)
{
    addCodec();
    d.settings.output_name = "out";
    recordingOutput.controlResult = error_unsupported_output_type;
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_play);
    step(1);
    EXPECT_EQ(d.state, player_state_end_of_stream);
    EXPECT_TRUE(recordingOutput.written.empty());
    // Other refusals are passed over.
    recordingOutput.controlResult = -1;
    run(command_output_close);
    run(command_play);
    step(1);
    EXPECT_EQ(d.state, player_state_playing);
    EXPECT_EQ(recordingOutput.writeSizes.size(), 1u);
}

TEST_F(Pipeline, TransportCommandsFollowTheStates)
{
    addCodec();
    run(command_pause);
    EXPECT_EQ(resultOf(command_pause), error_internal);
    run(command_stop);
    EXPECT_EQ(resultOf(command_stop), error_internal);
    run(command_seek, {10, 0});
    EXPECT_EQ(resultOf(command_seek), error_invalid_parameters);
    run(command_seek, {10, 100});
    EXPECT_EQ(resultOf(command_seek), error_internal);

    d.settings.output_name = "out";
    run(command_play); // opens the stored input name: none, so the module gets ""
    run(command_set_input_name, {reinterpret_cast<intptr_t>("memory")});
    run(command_play);
    ASSERT_EQ(d.state, player_state_playing);
    step(5);
    channel.clear();
    run(command_pause);
    EXPECT_EQ(d.state, player_state_paused);
    EXPECT_EQ(recordingOutput.controls.back().mask, static_cast<uint32_t>(control_pause));
    ASSERT_FALSE(channel.allToFeedback(feedback_pause).empty());
    run(command_stop);
    EXPECT_EQ(d.state, player_state_stopped);
    EXPECT_EQ(d.input.position, 0u); // rewound
    EXPECT_EQ(recordingOutput.controls.back().mask, static_cast<uint32_t>(control_reset));
    EXPECT_FALSE(channel.allToFeedback(feedback_flush).empty());
    EXPECT_TRUE(d.output.open);

    // Mode 1 closes the output on stop, mode 2 on pause.
    run(command_set_player_mode, {player_mode_close_output_on_stop | player_mode_close_output_on_pause});
    run(command_play);
    run(command_pause);
    EXPECT_FALSE(d.output.open);
    run(command_play);
    EXPECT_TRUE(d.output.open);
    run(command_stop);
    EXPECT_FALSE(d.output.open);
}

TEST_F(Pipeline, ChangingTheInputModuleOrNameReopensAnOpenInput)
{
    addCodec();
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    EXPECT_EQ(memoryInput.opens, 1);
    run(command_set_input_module, {0});
    EXPECT_EQ(memoryInput.opens, 2);
    run(command_set_input_name, {reinterpret_cast<intptr_t>("other")});
    EXPECT_EQ(memoryInput.opens, 3);
    run(command_set_input_module, {1});
    EXPECT_EQ(resultOf(command_set_input_module), error_plugin_module_not_found);
    // An empty name reopens the stored one.
    channel.clear();
    run(command_input_open, {reinterpret_cast<intptr_t>("")});
    EXPECT_EQ(text(channel.find(notify_input_name), 4), "other");
    run(command_input_close);
    EXPECT_FALSE(d.input_is_open());
    run(command_input_close);
    EXPECT_EQ(resultOf(command_input_close), error_internal);
    EXPECT_EQ(text(channel.find(notify_debug), 8), "internal error (input not open)");
}

TEST_F(Pipeline, WithoutACodecTheInputClosesAgain)
{
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    EXPECT_EQ(resultOf(command_input_open), error_no_codec_found);
    EXPECT_FALSE(d.input_is_open());
    EXPECT_EQ(memoryInput.closes, 1);
    auto state = channel.find(notify_input_state);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(player_message_byte(state, 4), 1);
}

TEST_F(Pipeline, CodecParametersReachTheCodecAndChannelModeResetsTheOutput)
{
    addCodec();
    d.settings.output_name = "out";
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_output_open);
    recordingOutput.controls.clear();
    channel.clear();
    run(command_set_codec_channel_mode, {3});
    EXPECT_EQ(scriptedCodec.lastParameterMask, static_cast<uint32_t>(codec_parameter_channel_mode));
    EXPECT_EQ(scriptedCodec.lastParameters.channel_mode, 3u);
    EXPECT_EQ(recordingOutput.controls.back().mask, static_cast<uint32_t>(control_reset));
    EXPECT_EQ(channel.allToFeedback(feedback_flush).size(), 1u);
    int8_t bands[64] = {};
    bands[5] = -7;
    run(command_set_codec_equalizer, {reinterpret_cast<intptr_t>(bands)});
    EXPECT_EQ(scriptedCodec.lastParameterMask, static_cast<uint32_t>(codec_parameter_equalizer));
    ASSERT_NE(scriptedCodec.lastParameters.equalizer, nullptr);
    run(command_output_mute);
    EXPECT_EQ(recordingOutput.controls.back().mask, static_cast<uint32_t>(control_mute));
    run(command_output_close);
    run(command_output_mute);
    EXPECT_EQ(resultOf(command_output_mute), error_internal);
}

TEST_F(Pipeline, FeedbackEventsCarryTheFrameReducedAndFollowThePeriod)
{
    scriptedCodec.samplesPerFrame = 300;
    addCodec();
    d.settings.output_name = "out";
    run(command_set_feedback_rate, {1}); // one PCM event a second at most
    run(command_input_open, {reinterpret_cast<intptr_t>("memory")});
    run(command_play);
    channel.clear();
    step(5);
    auto events = channel.allToFeedback(feedback_pcm_event);
    ASSERT_EQ(events.size(), 1u);
    const player_message* e = events[0];
    EXPECT_EQ(player_message_word(e, 12), 44100u);
    EXPECT_EQ(player_message_half(e, 16), 2);
    EXPECT_EQ(player_message_half(e, 18), 256);
    auto block = static_cast<const int8_t*>(player_message_pointer(e, 20));
    // The first frame's samples are i at place i: left i*2, right i*2+1.
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(block[i], static_cast<int8_t>((2 * i) / 256)) << i;
        EXPECT_EQ(block[256 + i], static_cast<int8_t>((2 * i + 1) / 256)) << i;
    }
    EXPECT_FALSE(channel.allToFeedback(feedback_position_event).empty());
    // Feedback position and timecode events follow the notification mask.
    run(command_set_notification_mask, {static_cast<intptr_t>(~(feedback_position_event_bit | 0u))});
    channel.clear();
    step(30);
    EXPECT_TRUE(channel.allToFeedback(feedback_position_event).empty());
}

TEST_F(Pipeline, ModulesReachTheEnvironmentAndPropertiesThroughTheServices)
{
    decoder* self = &d;
    const decoder_services& s = self->services;
    static std::vector<std::string> watched;
    watched.clear();
    auto watch = [](void*, const char*, const void* value) {
        watched.push_back(value != nullptr ? std::to_string(*static_cast<const int32_t*>(value)) : "unset");
    };
    void* watcher = nullptr;
    ASSERT_EQ(s.environment_watch(self, "OUTPUT.WAVE.PLAYBACK-RATE", watch, nullptr, &watcher), 0);
    run(command_set_environment_integer, {reinterpret_cast<intptr_t>("OUTPUT.WAVE.PLAYBACK-RATE"), 48000});
    int32_t value = 0;
    EXPECT_EQ(s.environment_get_integer(self, "OUTPUT.WAVE.PLAYBACK-RATE", &value), 0);
    EXPECT_EQ(value, 48000);
    run(command_unset_environment, {reinterpret_cast<intptr_t>("OUTPUT.WAVE.PLAYBACK-RATE")});
    EXPECT_EQ(watched, (std::vector<std::string>{"48000", "unset"}));
    EXPECT_EQ(s.environment_unwatch(self, watcher), 0);
    EXPECT_EQ(s.environment_unwatch(self, watcher), error_invalid_parameters);

    // A string is copied out cut to the room the module gives.
    ASSERT_EQ(s.environment_set_string(self, "NETWORK.HTTP.CUSTOM-HEADER", "X-Party: nordmeet"), 0);
    char room[8];
    EXPECT_EQ(s.environment_get_string(self, "NETWORK.HTTP.CUSTOM-HEADER", room, sizeof room), 0);
    EXPECT_EQ(std::string(room), "X-Party");
    EXPECT_EQ(s.environment_get_integer(self, "NETWORK.HTTP.CUSTOM-HEADER", &value), error_invalid_variable_type);

    // Property changes mark the stream's properties as changed.
    d.stream.info.flags = 0;
    EXPECT_EQ(s.property_set_integer(self, "mpeg/layer", 3), 0);
    EXPECT_EQ(d.stream.info.flags, static_cast<uint32_t>(stream_properties_changed));
    EXPECT_EQ(s.property_get_integer(self, "mpeg/layer", &value), 0);
    EXPECT_EQ(value, 3);
    d.stream.info.flags = 0;
    EXPECT_EQ(s.property_remove(self, "mpeg/layer"), 0);
    EXPECT_EQ(d.stream.info.flags, static_cast<uint32_t>(stream_properties_changed));
    EXPECT_EQ(s.property_remove(self, "mpeg/layer"), error_no_such_variable);
    EXPECT_EQ(s.codec_flush(self), error_internal); // no input open

    // Reports become notifications; messages only up to the debug level.
    channel.clear();
    s.report_progress(s.report_data, 4, 2, 300, "buffering");
    s.report_message(s.report_data, 4, 1, "frame skipped", "");
    d.settings.debug_level = 1;
    s.report_message(s.report_data, 4, 1, "frame skipped", "");
    s.report_error(s.report_data, 1, error_connect_failed, "cannot connect", "example.org");
    const uint8_t block[] = {1, 2, 3};
    s.report_module_event(s.report_data, 1, 7, block, sizeof block);
    EXPECT_EQ(text(channel.find(notify_error), 8), "cannot connect (example.org)");
    EXPECT_EQ(static_cast<int16_t>(player_message_half(channel.find(notify_error), 6)), error_connect_failed);
    EXPECT_EQ(text(channel.find(notify_progress), 8), "buffering");
    EXPECT_EQ(player_message_half(channel.find(notify_progress), 6), 300);
    EXPECT_EQ(channel.takeCodes(),
              (std::vector<uint32_t>{notify_progress, notify_debug, notify_error, notify_module_event}));
}

} // namespace
