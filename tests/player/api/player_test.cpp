// The player through its real decoder and feedback processes.
#include "transport/channel.h"
#include "messages/message_layouts.h"
#include "child_processes.h"
#include "player_session.h"

#include "melvox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

class PlayerTest : public PlayerSessionTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(childProcesses().empty());
        start();
    }

    void TearDown() override
    {
        stop();
        EXPECT_TRUE(childProcesses().empty());
    }
};

TEST_F(PlayerTest, PingIsAnsweredWithPongThenAck)
{
    ASSERT_EQ(player_send_message(p, command_ping, 0x12345678), 0);
    player_message pong = expect_next(notify_pong);
    EXPECT_EQ(player_message_word(&pong, 4), 0x12345678u);
    expect_ack(command_ping);
    ASSERT_EQ(player_send_message1(p, command_ping, 9), 0);
    pong = expect_next(notify_pong);
    EXPECT_EQ(player_message_word(&pong, 4), 9u);
    expect_ack(command_ping);
    expect_nothing_more();
}

TEST_F(PlayerTest, ACommandWaitsForItsOwnAnswerAndHandsOnAllThatCame)
{
    // Strings live only until the next message is taken: the name is copied.
    struct taken {
        std::vector<player_message> messages;
        std::string name;
    } seen;
    auto keep = [](void* to, const player_message* m) {
        auto t = static_cast<taken*>(to);
        t->messages.push_back(*m);
        if (m->code == notify_feedback_environment_integer)
            t->name = notify_feedback_environment_integer_name(m);
    };
    // What another command brings comes first, and nothing of it is lost.
    ASSERT_EQ(player_send_message(p, command_get_debug_level), 0);
    EXPECT_EQ(player_command(p, keep, &seen, five_seconds_us, command_ping, 77), 0);
    ASSERT_EQ(seen.messages.size(), 4u);
    EXPECT_EQ(seen.messages[0].code, static_cast<uint32_t>(notify_debug_level));
    EXPECT_EQ(notify_ack_command(&seen.messages[1]), command_get_debug_level);
    EXPECT_EQ(notify_pong_tag(&seen.messages[2]), 77u);
    EXPECT_EQ(notify_ack_command(&seen.messages[3]), command_ping);

    EXPECT_EQ(player_command(p, nullptr, nullptr, five_seconds_us, command_pause), error_internal);
    // The feedback side answers its own commands.
    EXPECT_EQ(player_command(p, nullptr, nullptr, -1, command_feedback_set_environment_integer, "A", -5), 0);
    seen.messages.clear();
    EXPECT_EQ(player_command(p, keep, &seen, -1, command_feedback_get_environment_integer, "A"), 0);
    ASSERT_EQ(seen.messages.size(), 2u);
    EXPECT_EQ(seen.name, "A");
    EXPECT_EQ(notify_feedback_environment_integer_value(&seen.messages[0]), -5);

    // What no side answers is refused and not sent: exit would end the player.
    for (int code : std::initializer_list<int>{command_exit, command_sync, feedback_flush, notify_ack, 30})
        EXPECT_EQ(player_command(p, nullptr, nullptr, -1, code), error_invalid_parameters) << code;
    EXPECT_EQ(player_command(p, nullptr, nullptr, -1, 53), error_invalid_message);
    EXPECT_EQ(player_command(p, nullptr, nullptr, -2, command_ping, 1), error_invalid_parameters);
    player_message ping = make_command_ping(5);
    EXPECT_EQ(player_post_command(p, &ping, nullptr, nullptr, five_seconds_us), 0);
    EXPECT_EQ(player_post_command(p, nullptr, nullptr, nullptr, five_seconds_us), error_invalid_parameters);
    expect_nothing_more(); // the pong of the posted ping was taken, and the player is alive
}

// A row that names a side without a handler for it, or a handler that
// answers twice, shows here.
TEST_F(PlayerTest, EveryCommandIsAnsweredOnceByTheSideThatTheTableNames)
{
    std::map<int, int> answers;
    auto count = [](void* to, const player_message* m) {
        if (m->code == notify_ack || m->code == notify_nack)
            ++(*static_cast<std::map<int, int>*>(to))[notify_ack_command(m)];
    };
    std::vector<int> commands;
    for (int code = 1; code < player_message_code_limit; ++code) {
        melvox::message_route route = melvox::route_of(code);
        if (route != melvox::message_route::decoder && route != melvox::message_route::feedback)
            continue;
        commands.push_back(code);
        // Every argument 0, but a mask of 0 would hide the answers.
        player_message m = code == command_set_notification_mask ? make_command_set_notification_mask(~0u)
                                                                 : make_player_message(static_cast<uint32_t>(code));
        EXPECT_NE(player_post_command(p, &m, count, &answers, five_seconds_us), error_timeout) << code;
    }
    ASSERT_EQ(player_sync(p, 5000), 0);
    player_message m;
    while (player_get_message(p, &m) == 1)
        count(&answers, &m);
    EXPECT_EQ(commands.size(), 78u);
    for (int code : commands)
        EXPECT_EQ(answers[code], 1) << code;
}

TEST_F(PlayerTest, WaitingWithNothingSentTimesOut)
{
    player_message m;
    EXPECT_EQ(player_wait_message(p, &m, 500000), error_timeout);
    EXPECT_EQ(player_get_message(p, &m), 0);
}

TEST_F(PlayerTest, ExitedIsTheLastNotification)
{
    // The feedback side's answer is still on its way when exit is taken.
    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_integer, "A", 1), 0);
    ASSERT_EQ(player_send_message(p, command_exit), 0);
    expect_ack(command_feedback_set_environment_integer);
    expect_next(notify_exited);
    player_message m;
    EXPECT_EQ(player_wait_message(p, &m, five_seconds_us), error_pipe_closed);
    // Known to be gone: nothing is written into a process that is ending.
    EXPECT_EQ(player_send_message(p, command_ping, 1), error_pipe_closed);
}

TEST_F(PlayerTest, CodesWithoutAnEntryAreIgnoredSilently)
{
    for (int code : {30, 54, 56, 126, 142, 144, +notify_ready, +notify_exited, +command_feedback_exit, +feedback_flush})
        ASSERT_EQ(player_send_message(p, code), 0) << code;
    ASSERT_EQ(player_send_message(p, notify_environment_string, "name", "value"), 0);
    ASSERT_EQ(player_send_message(p, command_ping, 5), 0);
    expect_next(notify_pong);
    expect_ack(command_ping);
    expect_nothing_more();
}

TEST_F(PlayerTest, CodesThatAreNotMessagesAreRefusedAndNothingIsPosted)
{
    for (int code : {0, 53, 55, 68, 97, 99, 160, 255, -3})
        EXPECT_EQ(player_send_message(p, code, 1, 2, 3), error_invalid_message) << code;
    EXPECT_EQ(player_send_message2(p, 160, 1, 2), error_invalid_message);
    player_message raw{};
    raw.code = 200;
    EXPECT_EQ(player_post_message(p, &raw), error_invalid_message);
    expect_nothing_more();
}

TEST_F(PlayerTest, EnvironmentCommands)
{
    ASSERT_EQ(player_send_message(p, command_set_environment_integer, "INPUT.STREAM.READ-TIMEOUT", 250), 0);
    expect_ack(command_set_environment_integer);
    ASSERT_EQ(player_send_message(p, command_get_environment_integer, "INPUT.STREAM.READ-TIMEOUT"), 0);
    player_message value = expect_next(notify_environment_integer);
    EXPECT_EQ(string_at(value, 4), "INPUT.STREAM.READ-TIMEOUT");
    EXPECT_EQ(player_message_word(&value, 8), 250u);
    expect_ack(command_get_environment_integer);

    ASSERT_EQ(player_send_message(p, command_set_environment_string, "INPUT.STREAM.BUFFER-SIZE", "big"), 0);
    expect_ack(command_set_environment_string);
    ASSERT_EQ(player_send_message(p, command_set_environment_integer, "INPUT.STREAM.BUFFER-SIZE", 1), 0);
    expect_nack(command_set_environment_integer, error_invalid_variable_type);
    ASSERT_EQ(player_send_message(p, command_get_environment_string, "INPUT.STREAM.BUFFER-SIZE"), 0);
    value = expect_next(notify_environment_string);
    EXPECT_EQ(string_at(value, 8), "big");
    expect_ack(command_get_environment_string);

    ASSERT_EQ(player_send_message(p, command_get_environment_string, "NETWORK.HTTP.CUSTOM-HEADER"), 0);
    expect_nack(command_get_environment_string, error_no_such_variable);
    ASSERT_EQ(player_send_message(p, command_unset_environment, "INPUT.STREAM.BUFFER-SIZE"), 0);
    expect_ack(command_unset_environment);
    ASSERT_EQ(player_send_message(p, command_unset_environment, "INPUT.STREAM.BUFFER-SIZE"), 0);
    expect_nack(command_unset_environment, error_no_such_variable);

    // A null name travels as the empty name.
    ASSERT_EQ(player_send_message(p, command_set_environment_string, nullptr, nullptr), 0);
    expect_ack(command_set_environment_string);
    ASSERT_EQ(player_send_message(p, command_get_environment_string, ""), 0);
    value = expect_next(notify_environment_string);
    EXPECT_EQ(string_at(value, 4), "");
    EXPECT_EQ(string_at(value, 8), "");
    expect_ack(command_get_environment_string);
    expect_nothing_more();
}

TEST_F(PlayerTest, LongValuesComeBackCutTo8191Bytes)
{
    std::string value(9000, 'v');
    ASSERT_EQ(player_send_message(p, command_set_environment_string, "NETWORK.HTTP.CUSTOM-HEADER", value.c_str()), 0);
    value.assign(9000, 'w'); // the caller's buffer is free again at once
    expect_ack(command_set_environment_string);
    ASSERT_EQ(player_send_message(p, command_get_environment_string, "NETWORK.HTTP.CUSTOM-HEADER"), 0);
    player_message m = expect_next(notify_environment_string);
    EXPECT_EQ(string_at(m, 8), std::string(8191, 'v'));
    expect_ack(command_get_environment_string);
}

TEST_F(PlayerTest, TheFeedbackSideKeepsItsOwnEnvironment)
{
    ASSERT_EQ(player_send_message(p, command_set_environment_integer, "SHARED", 1), 0);
    expect_ack(command_set_environment_integer);
    ASSERT_EQ(player_send_message(p, command_feedback_get_environment_integer, "SHARED"), 0);
    expect_nack(command_feedback_get_environment_integer, error_no_such_variable);

    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_integer, "RATE", 30), 0);
    expect_ack(command_feedback_set_environment_integer);
    ASSERT_EQ(player_send_message(p, command_feedback_get_environment_integer, "RATE"), 0);
    player_message m = expect_next(notify_feedback_environment_integer);
    EXPECT_EQ(string_at(m, 4), "RATE");
    EXPECT_EQ(player_message_word(&m, 8), 30u);
    expect_ack(command_feedback_get_environment_integer);

    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_string, "RATE", "fast"), 0);
    expect_nack(command_feedback_set_environment_string, error_invalid_variable_type);
    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_string, "NAME", "scope"), 0);
    expect_ack(command_feedback_set_environment_string);
    ASSERT_EQ(player_send_message(p, command_feedback_get_environment_string, "NAME"), 0);
    m = expect_next(notify_environment_string);
    EXPECT_EQ(string_at(m, 8), "scope");
    expect_ack(command_feedback_get_environment_string);
    ASSERT_EQ(player_send_message(p, command_feedback_unset_environment, "NAME"), 0);
    expect_ack(command_feedback_unset_environment);
    ASSERT_EQ(player_send_message(p, command_feedback_unset_environment, "NAME"), 0);
    expect_nack(command_feedback_unset_environment, error_no_such_variable);
}

TEST_F(PlayerTest, TheMaskFiltersNotificationsThatHaveABit)
{
    ASSERT_EQ(player_send_message(p, command_set_notification_mask, ~notify_ack_bit), 0);
    ASSERT_EQ(player_send_message(p, command_ping, 1), 0);
    expect_next(notify_pong); // no bit: always sent
    ASSERT_EQ(player_send_message(p, command_get_notification_mask), 0);
    player_message m = expect_next(notify_notification_mask);
    EXPECT_EQ(player_message_word(&m, 4), static_cast<uint32_t>(~notify_ack_bit));
    ASSERT_EQ(player_send_message(p, command_set_input_position_range, 0), 0);
    expect_nack(command_set_input_position_range, error_invalid_parameters);

    ASSERT_EQ(player_send_message(p, command_set_notification_mask, ~(notify_input_name_bit | notify_nack_bit)), 0);
    expect_ack(command_set_notification_mask);
    ASSERT_EQ(player_send_message(p, command_get_input_name), 0);
    expect_ack(command_get_input_name);
    ASSERT_EQ(player_send_message(p, command_set_input_position_range, 0), 0);
    ASSERT_EQ(player_send_message(p, command_get_output_volume), 0);
    expect_next(notify_output_balance);
    expect_next(notify_output_pcm_level);
    expect_next(notify_output_master_level);
    expect_ack(command_get_output_volume);

    ASSERT_EQ(player_send_message(p, command_set_notification_mask,
                                  ~(notify_output_balance_bit | notify_output_master_level_bit)),
              0);
    expect_ack(command_set_notification_mask);
    ASSERT_EQ(player_send_message(p, command_get_output_volume), 0);
    expect_next(notify_output_pcm_level);
    expect_ack(command_get_output_volume);
    expect_nothing_more();
}

TEST_F(PlayerTest, StoredSettingsAndTheirLimits)
{
    auto expect_word = [&](int get, int notification, uint32_t value) {
        ASSERT_EQ(player_send_message(p, get), 0);
        player_message m = expect_next(notification);
        EXPECT_EQ(player_message_word(&m, 4), value) << get;
        expect_ack(get);
    };
    expect_word(command_get_input_position_range, notify_input_position_range, 400);
    expect_word(command_get_input_timecode_granularity, notify_input_timecode_granularity, 100);
    expect_word(command_get_player_mode, notify_player_mode, 0);
    expect_word(command_get_notification_mask, notify_notification_mask, 0xffffffffu);

    ASSERT_EQ(player_send_message(p, command_set_input_position_range, 0), 0);
    expect_nack(command_set_input_position_range, error_invalid_parameters);
    ASSERT_EQ(player_send_message(p, command_set_input_timecode_granularity, 0), 0);
    expect_nack(command_set_input_timecode_granularity, error_invalid_parameters);
    ASSERT_EQ(player_send_message(p, command_set_input_position_range, 1000), 0);
    expect_ack(command_set_input_position_range);
    expect_word(command_get_input_position_range, notify_input_position_range, 1000);
    ASSERT_EQ(player_send_message(p, command_set_player_mode, player_mode_drain_at_end), 0);
    expect_ack(command_set_player_mode);
    expect_word(command_get_player_mode, notify_player_mode, player_mode_drain_at_end);

    // The built-ins are two input modules (file, network), two output modules
    // (file, sound device; with ALSA a third) and the MPEG codec: ids from -1
    // ("automatic") up to the count are valid.
#ifdef MELVOX_WITH_ALSA
    const int outputs = 3;
#else
    const int outputs = 2;
#endif
    for (auto [command, count] :
         {std::pair{+command_set_input_module, 2}, std::pair{+command_set_output_module, outputs},
          std::pair{+command_set_codec_module, 1}}) {
        ASSERT_EQ(player_send_message(p, command, count), 0);
        expect_nack(command, error_plugin_module_not_found);
        ASSERT_EQ(player_send_message(p, command, -2), 0);
        expect_nack(command, error_plugin_module_not_found);
        if (count > 0) {
            ASSERT_EQ(player_send_message(p, command, 0), 0);
            expect_ack(command);
        }
        ASSERT_EQ(player_send_message(p, command, -1), 0);
        expect_ack(command);
    }
    ASSERT_EQ(player_send_message(p, command_get_output_module), 0);
    player_message m = expect_next(notify_output_module);
    EXPECT_EQ(static_cast<int16_t>(player_message_half(&m, 4)), -1);
    expect_ack(command_get_output_module);

    auto expect_byte = [&](int get, int notification, unsigned offset, uint8_t value) {
        ASSERT_EQ(player_send_message(p, get), 0);
        player_message n = expect_next(notification);
        EXPECT_EQ(player_message_byte(&n, offset), value) << get;
        expect_ack(get);
    };
    expect_byte(command_get_output_ports, notify_output_ports, 4, 255);
    expect_byte(command_get_debug_level, notify_debug_level, 4, 0);
    ASSERT_EQ(player_send_message(p, command_set_debug_level, 3), 0);
    expect_ack(command_set_debug_level);
    expect_byte(command_get_debug_level, notify_debug_level, 4, 3);
    ASSERT_EQ(player_send_message(p, command_set_codec_downsampling, 2), 0);
    expect_ack(command_set_codec_downsampling);
    expect_byte(command_get_codec_downsampling, notify_codec_downsampling, 4, 2);
    ASSERT_EQ(player_send_message(p, command_set_codec_channel_mode, 1), 0);
    expect_ack(command_set_codec_channel_mode);
    expect_byte(command_get_codec_channel_mode, notify_codec_channel_mode, 4, 1);

    // 1000000 / 3 microseconds reads back as 3 events per second.
    ASSERT_EQ(player_send_message(p, command_set_feedback_rate, 3), 0);
    expect_ack(command_set_feedback_rate);
    expect_byte(command_get_feedback_rate, notify_feedback_rate, 4, 3);
    ASSERT_EQ(player_send_message(p, command_set_feedback_rate, 0), 0);
    expect_ack(command_set_feedback_rate);
    expect_byte(command_get_feedback_rate, notify_feedback_rate, 4, 0);
    expect_nothing_more();
}

TEST_F(PlayerTest, VolumeValuesOutsideTheRangeLeaveTheirSetting)
{
    // balance, PCM level, master level.
    ASSERT_EQ(player_send_message(p, command_set_output_volume, 255, 50, 255), 0);
    expect_ack(command_set_output_volume);
    ASSERT_EQ(player_send_message(p, command_get_output_volume), 0);
    player_message m = expect_next(notify_output_balance);
    EXPECT_EQ(player_message_byte(&m, 6), 255);
    m = expect_next(notify_output_pcm_level);
    EXPECT_EQ(player_message_byte(&m, 5), 50);
    m = expect_next(notify_output_master_level);
    EXPECT_EQ(player_message_byte(&m, 4), 255);
    expect_ack(command_get_output_volume);

    ASSERT_EQ(player_send_message(p, command_set_output_volume, 0, 101, 100), 0);
    expect_ack(command_set_output_volume);
    ASSERT_EQ(player_send_message(p, command_get_output_volume), 0);
    EXPECT_EQ(player_message_byte(&(m = expect_next(notify_output_balance)), 6), 0);
    EXPECT_EQ(player_message_byte(&(m = expect_next(notify_output_pcm_level)), 5), 50);
    EXPECT_EQ(player_message_byte(&(m = expect_next(notify_output_master_level)), 4), 100);
    expect_ack(command_get_output_volume);
}

TEST_F(PlayerTest, NamesAndTheEqualizerAreStoredCopies)
{
    ASSERT_EQ(player_send_message(p, command_get_input_name), 0);
    player_message m = expect_next(notify_input_name);
    EXPECT_EQ(string_at(m, 4), ""); // never set
    expect_ack(command_get_input_name);
    ASSERT_EQ(player_send_message(p, command_set_output_name, "wav:out.wav"), 0);
    expect_ack(command_set_output_name);
    ASSERT_EQ(player_send_message(p, command_get_output_name), 0);
    m = expect_next(notify_output_name);
    EXPECT_EQ(string_at(m, 4), "wav:out.wav");
    expect_ack(command_get_output_name);

    int8_t bands[64];
    for (int i = 0; i < 64; ++i)
        bands[i] = static_cast<int8_t>(i * 3 - 90);
    ASSERT_EQ(player_send_message(p, command_set_codec_equalizer, bands), 0);
    expect_ack(command_set_codec_equalizer);
    ASSERT_EQ(player_send_message(p, command_get_codec_equalizer), 0);
    m = expect_next(notify_codec_equalizer);
    auto got = static_cast<const int8_t*>(player_message_pointer(&m, 4));
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(std::vector<int8_t>(got, got + 64), std::vector<int8_t>(bands, bands + 64));
    expect_ack(command_get_codec_equalizer);
    ASSERT_EQ(player_send_message(p, command_set_codec_equalizer, nullptr), 0);
    expect_ack(command_set_codec_equalizer);
    ASSERT_EQ(player_send_message(p, command_get_codec_equalizer), 0);
    m = expect_next(notify_codec_equalizer);
    EXPECT_EQ(player_message_pointer(&m, 4), nullptr);
    expect_ack(command_get_codec_equalizer);
}

TEST_F(PlayerTest, TransportCommandsWithoutAnInput)
{
    ASSERT_EQ(player_send_message(p, command_pause), 0);
    expect_nack(command_pause, error_internal);
    ASSERT_EQ(player_send_message(p, command_stop), 0);
    expect_nack(command_stop, error_internal);
    ASSERT_EQ(player_send_message(p, command_seek, 10, 0), 0);
    expect_nack(command_seek, error_invalid_parameters);
    ASSERT_EQ(player_send_message(p, command_seek, 10, 100), 0);
    expect_nack(command_seek, error_internal);
    // No feedback handler module is registered.
    ASSERT_EQ(player_send_message(p, command_feedback_handler_start), 0);
    expect_nack(command_feedback_handler_start, error_plugin_module_not_found);
}

TEST_F(PlayerTest, SyncReturnsOnceTheDecoderHasCaughtUpAndKeepsNotifications)
{
    for (uint32_t tag = 1; tag <= 3; ++tag)
        ASSERT_EQ(player_send_message(p, command_ping, tag), 0);
    ASSERT_EQ(player_sync(p, 5000), 0);
    // Everything the pings caused is there without waiting, in order.
    for (uint32_t tag = 1; tag <= 3; ++tag) {
        player_message m{};
        ASSERT_EQ(player_get_message(p, &m), 1);
        EXPECT_EQ(m.code, static_cast<uint32_t>(notify_pong));
        EXPECT_EQ(player_message_word(&m, 4), tag);
        ASSERT_EQ(player_get_message(p, &m), 1);
        EXPECT_EQ(m.code, static_cast<uint32_t>(notify_ack));
    }
    EXPECT_EQ(player_sync(p, -1), 0);
    // A command_sync of the caller's own is taken without an answer.
    ASSERT_EQ(player_send_message(p, command_sync), 0);
    expect_nothing_more();
}

TEST_F(PlayerTest, ACallerThatDoesNotReadNeverBlocksOrLosesNotifications)
{
    // Far more than the pipes hold: the decoder side would block on its
    // notifications and stop taking commands if the caller did not take them.
    constexpr uint32_t pings = 20000;
    for (uint32_t tag = 0; tag < pings; ++tag)
        ASSERT_EQ(player_send_message(p, command_ping, tag), 0);
    ASSERT_EQ(player_sync(p, 30000), 0);
    for (uint32_t tag = 0; tag < pings; ++tag) {
        player_message m{};
        ASSERT_EQ(player_get_message(p, &m), 1);
        ASSERT_EQ(m.code, static_cast<uint32_t>(notify_pong));
        ASSERT_EQ(player_message_word(&m, 4), tag);
        ASSERT_EQ(player_get_message(p, &m), 1);
        ASSERT_EQ(m.code, static_cast<uint32_t>(notify_ack));
    }
    expect_nothing_more();
}

TEST_F(PlayerTest, DeletingWithoutTakingNotificationsLeavesNothingBehind)
{
    for (uint32_t tag = 0; tag < 20000; ++tag)
        ASSERT_EQ(player_send_message(p, command_ping, tag), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(player_delete(p), 0);
    p = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(9));
}

TEST_F(PlayerTest, AKilledDecoderIsToldThenReportedAsAClosedPipe)
{
    std::vector<pid_t> children = childProcesses();
    ASSERT_EQ(children.size(), 1u);
    pid_t decoder = children[0];
    // The feedback side's process starts when the caller first asks it for something.
    EXPECT_TRUE(childProcesses(decoder).empty());
    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_integer, "A", 1), 0);
    expect_ack(command_feedback_set_environment_integer);
    std::vector<pid_t> grandchildren = childProcesses(decoder);
    ASSERT_EQ(grandchildren.size(), 1u);
    pid_t feedback = grandchildren[0];

    ASSERT_EQ(kill(decoder, SIGKILL), 0);
    for (int i = 0; i < 500 && processState(decoder) != 'Z'; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    // Writing to the dead process is an error, not a SIGPIPE that ends us.
    // The kernel may still hold the pipe's far end for a moment after the
    // process has died, so a first write can still land in the pipe.
    int sent = 0;
    for (int i = 0; i < 100 && (sent = player_send_message(p, command_ping, 1)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(sent, error_pipe_write_failed);
    // Once told how it ended, then a closed pipe.
    player_message m = expect_next(notify_error);
    EXPECT_EQ(notify_error_code(&m), error_side_ended);
    EXPECT_STREQ(notify_error_text(&m), "decoder process ended (killed by signal 9 (Killed))");
    EXPECT_EQ(player_wait_message(p, &m, five_seconds_us), error_pipe_closed);
    EXPECT_EQ(player_wait_message(p, &m, five_seconds_us), error_pipe_closed);
    EXPECT_EQ(player_sync(p, 1000), error_pipe_closed);
    // The feedback side does not outlive its decoder side.
    for (int i = 0; i < 200 && processState(feedback) != 0 && processState(feedback) != 'Z'; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    char state = processState(feedback);
    EXPECT_TRUE(state == 0 || state == 'Z') << state;
}

TEST_F(PlayerTest, AFeedbackSideThatDiesIsToldAndThePlayerGoesOn)
{
    // The feedback side starts with the first feedback command.
    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_integer, "A", 1), 0);
    expect_ack(command_feedback_set_environment_integer);
    std::vector<pid_t> children = childProcesses();
    ASSERT_EQ(children.size(), 1u);
    // The feedback side's process starts when the caller first asks it for something.
    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_integer, "A", 1), 0);
    expect_ack(command_feedback_set_environment_integer);
    std::vector<pid_t> grandchildren = childProcesses(children[0]);
    ASSERT_EQ(grandchildren.size(), 1u);
    ASSERT_EQ(kill(grandchildren[0], SIGKILL), 0);
    player_message m = expect_next(notify_error);
    EXPECT_EQ(notify_error_code(&m), error_side_ended);
    EXPECT_STREQ(notify_error_text(&m), "feedback process ended");
    // Told once; the decoder side answers as before.
    ASSERT_EQ(player_send_message(p, command_ping, 5), 0);
    EXPECT_EQ(player_message_word(&(m = expect_next(notify_pong)), 4), 5u);
    expect_ack(command_ping);
    expect_nothing_more();
}

TEST_F(PlayerTest, HandlesThatAreNotLivePlayersAreRefused)
{
    player_message m;
    EXPECT_EQ(player_delete(nullptr), error_invalid_parameters);
    EXPECT_EQ(player_send_message(nullptr, command_ping, 1), error_invalid_parameters);
    EXPECT_EQ(player_get_message(nullptr, &m), error_invalid_parameters);
    EXPECT_EQ(player_get_message(p, nullptr), error_invalid_parameters);
    EXPECT_EQ(player_wait_message(p, &m, -2), error_invalid_parameters);
    EXPECT_EQ(player_sync(p, -5), error_invalid_parameters);
    EXPECT_EQ(player_post_message(p, nullptr), error_invalid_parameters);
    EXPECT_EQ(player_new(nullptr, nullptr), error_invalid_parameters);

    EXPECT_EQ(player_get_priority(p), player_priority_normal);
    EXPECT_EQ(player_set_priority(p, player_priority_highest), 0);
    EXPECT_EQ(player_get_priority(p), player_priority_normal);
    EXPECT_EQ(player_set_priority(p, 5), error_invalid_parameters);

    EXPECT_EQ(player_delete(p), 0);
    EXPECT_EQ(player_delete(p), error_invalid_parameters);
    EXPECT_EQ(player_send_message(p, command_ping, 1), error_invalid_parameters);
    p = nullptr;
}

TEST(PlayerLifetime, ManyPlayersLeaveNoProcessBehind)
{
    std::vector<player*> players(6);
    for (player*& q : players)
        ASSERT_EQ(player_new(&q, nullptr), 0);
    EXPECT_EQ(childProcesses().size(), players.size());
    // Each decoder side holds only its own pipes: ending one leaves the others working.
    ASSERT_EQ(player_delete(players[0]), 0);
    player_message m{};
    ASSERT_EQ(player_send_message(players[1], command_ping, 4), 0);
    ASSERT_EQ(player_wait_message(players[1], &m, five_seconds_us), 1);
    EXPECT_EQ(m.code, static_cast<uint32_t>(notify_ready));
    ASSERT_EQ(player_wait_message(players[1], &m, five_seconds_us), 1);
    EXPECT_EQ(m.code, static_cast<uint32_t>(notify_pong));
    for (size_t i = 1; i < players.size(); ++i)
        EXPECT_EQ(player_delete(players[i]), 0);
    EXPECT_TRUE(childProcesses().empty());
}

// Hooks run in the decoder process; they speak through its channel.
int announce(void* user_data, player_channel* channel, decoder*)
{
    player_message m{};
    m.code = notify_debug;
    player_message_set_pointer(&m, 8, user_data);
    channel->post(m);
    return 0;
}

int wedge(void*, player_channel*, decoder*)
{
    for (;;)
        pause();
}

player_hook_pair pair_of(player_init_hook f, const char* text)
{
    return {const_cast<char*>(text), reinterpret_cast<void (*)(void)>(f)};
}

// The debug texts that the hooks announced before notify_ready.
std::vector<std::string> announced(const player_hook_list& hooks)
{
    player* q = nullptr;
    EXPECT_EQ(player_new_with_hooks(&q, nullptr, &hooks), 0);
    std::vector<std::string> texts;
    player_message m{};
    while (player_wait_message(q, &m, five_seconds_us) == 1 && m.code == notify_debug)
        texts.push_back(static_cast<const char*>(player_message_pointer(&m, 8)));
    EXPECT_EQ(m.code, static_cast<uint32_t>(notify_ready));
    EXPECT_EQ(player_delete(q), 0);
    return texts;
}

TEST(PlayerHooks, InitHooksOfTheRightTypeRunInOrder)
{
    player_hook_pair first = pair_of(announce, "first"), second = pair_of(announce, "second");
    player_hook entries[] = {{"init-hook", &first, player_hook_type},
                             {"some-other-hook", &first, 3},
                             {"init-hook", &second, player_hook_type}};
    EXPECT_EQ(announced({3, entries}), (std::vector<std::string>{"first", "second"}));

    // A known name with another type ends the scan.
    player_hook stopping[] = {{"init-hook", &first, player_hook_type},
                              {"module-loader-hook", &first, 4},
                              {"init-hook", &second, player_hook_type}};
    EXPECT_EQ(announced({3, stopping}), (std::vector<std::string>{"first"}));
    EXPECT_EQ(announced({0, nullptr}), std::vector<std::string>{});
}

TEST(PlayerHooks, DeletingAWedgedDecoderReturnsWithinItsLimit)
{
    player_hook_pair stuck = pair_of(wedge, nullptr);
    player_hook entries[] = {{"init-hook", &stuck, player_hook_type}};
    player_hook_list hooks = {1, entries};
    player* q = nullptr;
    ASSERT_EQ(player_new_with_hooks(&q, nullptr, &hooks), 0);
    player_message m;
    EXPECT_EQ(player_wait_message(q, &m, 300000), error_timeout); // notify_ready never comes
    EXPECT_EQ(player_sync(q, 200), error_timeout);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(player_delete(q), 0);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(15));
    EXPECT_TRUE(childProcesses().empty());
}

} // namespace
