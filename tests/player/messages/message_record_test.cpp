#include "messages/message_layouts.h"
#include "messages/message_packer.h"

#include "melvox.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

using namespace melvox;

namespace {

// Where the documented 32-bit offset o lives in this build's record.
size_t widened(unsigned o)
{
    return (o / 4) * sizeof(void*) + o % 4;
}

TEST(MessageRecord, ArgumentsLiveAtTheirWidenedPlaces)
{
    EXPECT_EQ(sizeof(player_message), 6 * sizeof(void*));
    EXPECT_EQ(offsetof(player_message, code), 0u);
    player_message m{};
    player_message_set_byte(&m, 7, 0xab);
    player_message_set_half(&m, 18, 0x1234);
    player_message_set_word(&m, 12, 0xdeadbeef);
    int target;
    player_message_set_pointer(&m, 20, &target);
    auto bytes = reinterpret_cast<const unsigned char*>(&m);
    EXPECT_EQ(bytes[widened(7)], 0xab);
    uint16_t half;
    std::memcpy(&half, bytes + widened(18), 2);
    EXPECT_EQ(half, 0x1234);
    uint32_t word;
    std::memcpy(&word, bytes + widened(12), 4);
    EXPECT_EQ(word, 0xdeadbeefu);
    void* pointer;
    std::memcpy(&pointer, bytes + widened(20), sizeof pointer);
    EXPECT_EQ(pointer, &target);
    // Nothing spilled into the other places.
    EXPECT_EQ(player_message_word(&m, 8), 0u);
    EXPECT_EQ(player_message_half(&m, 16), 0u);
    EXPECT_EQ(player_message_half(&m, 4), 0u);
    EXPECT_EQ(player_message_byte(&m, 6), 0u);
}

TEST(MessageRecord, NeighbouringBytesAndHalvesShareAWord)
{
    player_message m{};
    player_message_set_byte(&m, 4, 1);
    player_message_set_byte(&m, 5, 2);
    player_message_set_half(&m, 6, 0xfffe);
    EXPECT_EQ(player_message_byte(&m, 4), 1);
    EXPECT_EQ(player_message_byte(&m, 5), 2);
    EXPECT_EQ(static_cast<int16_t>(player_message_half(&m, 6)), -2);
}

TEST(MessagePacker, PlacesArgumentsInCallOrder)
{
    player_message m;
    // balance, PCM level, master level go to b6, b5, b4.
    intptr_t volume[] = {10, 20, 30};
    ASSERT_EQ(pack_message(command_set_output_volume, volume, 3, m), 0);
    EXPECT_EQ(m.code, static_cast<uint32_t>(command_set_output_volume));
    EXPECT_EQ(player_message_byte(&m, 6), 10);
    EXPECT_EQ(player_message_byte(&m, 5), 20);
    EXPECT_EQ(player_message_byte(&m, 4), 30);

    // type, size, data go to h4, w12, w8.
    char block[3] = {1, 2, 3};
    intptr_t send[] = {7, 3, reinterpret_cast<intptr_t>(block)};
    ASSERT_EQ(pack_message(command_input_send_message, send, 3, m), 0);
    EXPECT_EQ(player_message_half(&m, 4), 7);
    EXPECT_EQ(player_message_word(&m, 12), 3u);
    EXPECT_EQ(player_message_pointer(&m, 8), block);

    // name then position: w8, h4.
    intptr_t filter[] = {reinterpret_cast<intptr_t>("echo"), -1};
    ASSERT_EQ(pack_message(command_input_add_filter, filter, 2, m), 0);
    EXPECT_STREQ(static_cast<const char*>(player_message_pointer(&m, 8)), "echo");
    EXPECT_EQ(static_cast<int16_t>(player_message_half(&m, 4)), -1);

    // rate w4, bitrate h8, channels b10.
    intptr_t parameters[] = {44100, 128, 2};
    ASSERT_EQ(pack_message(notify_stream_parameters, parameters, 3, m), 0);
    EXPECT_EQ(player_message_word(&m, 4), 44100u);
    EXPECT_EQ(player_message_half(&m, 8), 128);
    EXPECT_EQ(player_message_byte(&m, 10), 2);
}

TEST(MessagePacker, MissingWordsAreZeroAndExtraWordsIgnored)
{
    player_message m;
    intptr_t one[] = {5};
    ASSERT_EQ(pack_message(command_seek, one, 1, m), 0);
    EXPECT_EQ(player_message_word(&m, 4), 5u);
    EXPECT_EQ(player_message_word(&m, 8), 0u);
    intptr_t many[] = {1, 2, 3, 4};
    ASSERT_EQ(pack_message(command_ping, many, 4, m), 0);
    EXPECT_EQ(player_message_word(&m, 4), 1u);
    EXPECT_EQ(player_message_word(&m, 8), 0u);
}

TEST(MessagePacker, RefusesCodesThatAreNotMessages)
{
    player_message m{};
    m.code = 99;
    for (int code : {0, 53, 55, 68, 97, 99, 160, 255, -1, 1000}) {
        EXPECT_EQ(pack_message(code, nullptr, 0, m), error_invalid_message) << code;
        EXPECT_EQ(find_message_layout(code), nullptr) << code;
    }
    EXPECT_EQ(m.code, 99u); // untouched
    // Codes without an effect are still messages.
    for (int code : {30, 54, 56, 96, 98, 100, 126, 142, 144, 157, 158, 159})
        EXPECT_EQ(pack_message(code, nullptr, 0, m), 0) << code;
}

TEST(MessageLayouts, EveryCodeBelowTheLimitIsAMessageButTheRefusedOnes)
{
    int messages = 0;
    for (int code = 1; code < player_message_code_limit; ++code)
        messages += find_message_layout(code) != nullptr;
    EXPECT_EQ(messages, 159 - 5);
}

// The library builds one message of each family and gives it the code of
// another member, so their rows must agree.
TEST(MessageLayouts, FamiliesThatShareABuilderShareTheirFields)
{
    std::vector<std::vector<int>> families = {
        {notify_input_module_info, notify_output_module_info, notify_codec_module_info,
         notify_feedback_handler_module_info},
        {notify_input_device_info, notify_output_device_info, notify_codec_device_info,
         notify_feedback_handler_device_info},
        {notify_input_filter_info, notify_output_filter_info},
        {notify_input_name, notify_output_name},
        {notify_input_caps, notify_output_caps},
        {notify_input_state, notify_output_state},
    };
    for (const std::vector<int>& family : families) {
        const message_layout* first = find_message_layout(family[0]);
        ASSERT_NE(first, nullptr);
        for (int code : family) {
            const message_layout* other = find_message_layout(code);
            ASSERT_NE(other, nullptr);
            ASSERT_EQ(other->described_count, first->described_count) << other->name;
            for (size_t i = 0; i < first->described_count; ++i) {
                EXPECT_EQ(other->described[i].type, first->described[i].type) << other->name;
                EXPECT_EQ(other->described[i].offset, first->described[i].offset) << other->name;
            }
        }
    }
}

TEST(NotificationMask, BitsOfNotificationsAndNone)
{
    EXPECT_EQ(player_notification_bit(notify_ack), 0x8u);
    EXPECT_EQ(player_notification_bit(notify_nack), 0x10u);
    EXPECT_EQ(player_notification_bit(notify_input_name), 0x80u);
    EXPECT_EQ(player_notification_bit(feedback_timecode_event), 0x8000u);
    EXPECT_EQ(player_notification_bit(notify_module_event), 0x8000000u);
    EXPECT_EQ(player_notification_bit(notify_ready), 0u);
    EXPECT_EQ(player_notification_bit(notify_pong), 0u);
    EXPECT_EQ(player_notification_bit(notify_exited), 0u);
    EXPECT_EQ(player_notification_bit(notify_environment_string), 0u);
}

} // namespace
