// The packing of messages into window messages (id, wParam, lParam) and back.
#include "messages/posted_messages.h"

#include "melvox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using melvox::posted_message;
using melvox::posted_text_buffer;

player_message make(int code)
{
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    return m;
}

// Packs and unpacks m; the result points into buffer.
player_message round_trip(const player_message& m, posted_text_buffer& buffer, posted_message* packed = nullptr)
{
    posted_message p;
    EXPECT_EQ(melvox::pack_posted(m, p), 0);
    if (packed != nullptr)
        *packed = p;
    player_message out{};
    EXPECT_EQ(melvox::unpack_posted(p, buffer, out), 0);
    return out;
}

std::string text_at(const player_message& m, unsigned offset)
{
    auto s = static_cast<const char*>(player_message_pointer(&m, offset));
    return s == nullptr ? "(null)" : s;
}

TEST(PostedMessages, SmallArgumentsTravelInWParamAlone)
{
    player_message m = make(notify_nack);
    player_message_set_byte(&m, 4, command_seek);
    player_message_set_half(&m, 6, static_cast<uint16_t>(-102));
    posted_text_buffer buffer;
    posted_message p;
    player_message out = round_trip(m, buffer, &p);
    EXPECT_EQ(p.id, 0x9000u + notify_nack);
    EXPECT_EQ(p.lparam, 0);
    EXPECT_EQ(p.wparam, uintptr_t{command_seek} | uintptr_t{0xff9a} << 8);
    EXPECT_EQ(player_message_byte(&out, 4), command_seek);
    EXPECT_EQ(static_cast<int16_t>(player_message_half(&out, 6)), -102);

    player_message ping = make(command_ping);
    player_message_set_word(&ping, 4, 0xdeadbeef);
    out = round_trip(ping, buffer, &p);
    EXPECT_EQ(p.wparam, 0xdeadbeefu);
    EXPECT_EQ(player_message_word(&out, 4), 0xdeadbeefu);
}

TEST(PostedMessages, PauseAndResumeCarrySecondsAndMicroseconds)
{
    player_message m = make(feedback_pause);
    player_message_set_word(&m, 4, 12);
    player_message_set_word(&m, 8, 999999);
    posted_text_buffer buffer;
    posted_message p;
    player_message out = round_trip(m, buffer, &p);
    EXPECT_EQ(p.wparam, 12u);
    EXPECT_EQ(p.lparam, 999999);
    EXPECT_EQ(player_message_word(&out, 4), 12u);
    EXPECT_EQ(player_message_word(&out, 8), 999999u);
}

TEST(PostedMessages, StringsAreCopiedAndComeBackCut)
{
    std::string name = "OUTPUT.WAVE.PLAYBACK-RATE";
    player_message m = make(command_set_environment_integer);
    player_message_set_pointer(&m, 4, name.c_str());
    player_message_set_word(&m, 8, 0x10000);
    posted_text_buffer buffer;
    posted_message p;
    player_message out = round_trip(m, buffer, &p);
    EXPECT_EQ(p.wparam, 0x10000u); // the value in wParam, the name in lParam
    EXPECT_EQ(text_at(out, 4), name);
    EXPECT_EQ(player_message_word(&out, 8), 0x10000u);

    std::string long_value(9000, 'x');
    player_message set = make(command_set_environment_string);
    player_message_set_pointer(&set, 4, "A");
    player_message_set_pointer(&set, 8, long_value.c_str());
    out = round_trip(set, buffer);
    EXPECT_EQ(text_at(out, 4), "A");
    EXPECT_EQ(text_at(out, 8), std::string(8191, 'x'));

    // A null string arrives as an empty one.
    player_message open = make(command_input_open);
    out = round_trip(open, buffer);
    EXPECT_EQ(text_at(out, 4), "");
}

TEST(PostedMessages, ModuleInformationKeepsBytesAndBothStrings)
{
    player_message m = make(notify_output_device_info);
    player_message_set_byte(&m, 4, 1);
    player_message_set_byte(&m, 5, 3);
    player_message_set_byte(&m, 6, 2);
    player_message_set_pointer(&m, 8, "/dev/wave/0");
    player_message_set_pointer(&m, 12, "Wine wave mapper");
    posted_text_buffer buffer;
    player_message out = round_trip(m, buffer);
    EXPECT_EQ(player_message_byte(&out, 4), 1);
    EXPECT_EQ(player_message_byte(&out, 5), 3);
    EXPECT_EQ(player_message_byte(&out, 6), 2);
    EXPECT_EQ(text_at(out, 8), "/dev/wave/0");
    EXPECT_EQ(text_at(out, 12), "Wine wave mapper");
}

TEST(PostedMessages, BlocksPropertyListsAndPcmEvents)
{
    posted_text_buffer buffer;
    std::vector<uint8_t> data = {1, 2, 3, 0, 5};
    player_message send = make(command_output_send_message);
    player_message_set_half(&send, 4, 7);
    player_message_set_pointer(&send, 8, data.data());
    player_message_set_word(&send, 12, static_cast<uint32_t>(data.size()));
    player_message out = round_trip(send, buffer);
    EXPECT_EQ(player_message_half(&out, 4), 7);
    ASSERT_EQ(player_message_word(&out, 12), data.size());
    EXPECT_EQ(std::memcmp(player_message_pointer(&out, 8), data.data(), data.size()), 0);

    player_property entries[2] = {};
    entries[0].name = "icy/StreamTitle";
    entries[0].type = player_value_string;
    entries[0].value.string = "Song";
    entries[1].name = "bitrate";
    entries[1].type = player_value_integer;
    entries[1].value.integer = -128;
    player_message properties = make(notify_stream_properties);
    player_message_set_word(&properties, 4, 2);
    player_message_set_pointer(&properties, 8, entries);
    out = round_trip(properties, buffer);
    ASSERT_EQ(player_message_word(&out, 4), 2u);
    auto got = static_cast<const player_property*>(player_message_pointer(&out, 8));
    EXPECT_STREQ(got[0].name, "icy/StreamTitle");
    EXPECT_STREQ(got[0].value.string, "Song");
    EXPECT_STREQ(got[1].name, "bitrate");
    EXPECT_EQ(got[1].value.integer, -128);

    std::vector<uint8_t> pcm(2 * 256);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<uint8_t>(i * 7);
    player_message event = make(feedback_pcm_event);
    player_message_set_word(&event, 4, 3);
    player_message_set_word(&event, 8, 250000);
    player_message_set_word(&event, 12, 44100);
    player_message_set_half(&event, 16, 2);
    player_message_set_half(&event, 18, 256);
    player_message_set_pointer(&event, 20, pcm.data());
    posted_message p;
    out = round_trip(event, buffer, &p);
    EXPECT_EQ(p.wparam, 0u); // too many small arguments for wParam: all in the block
    EXPECT_EQ(player_message_word(&out, 12), 44100u);
    EXPECT_EQ(player_message_half(&out, 16), 2);
    EXPECT_EQ(player_message_half(&out, 18), 256);
    EXPECT_EQ(std::memcmp(player_message_pointer(&out, 20), pcm.data(), pcm.size()), 0);

    // The equalizer's absence survives.
    player_message equalizer = make(command_set_codec_equalizer);
    out = round_trip(equalizer, buffer);
    EXPECT_EQ(player_message_pointer(&out, 4), nullptr);
}

TEST(PostedMessages, SeekKeepsBothWords)
{
    player_message m = make(command_seek);
    player_message_set_word(&m, 4, 0xfffffffe);
    player_message_set_word(&m, 8, 400);
    posted_text_buffer buffer;
    player_message out = round_trip(m, buffer);
    EXPECT_EQ(player_message_word(&out, 4), 0xfffffffeu);
    EXPECT_EQ(player_message_word(&out, 8), 400u);
}

TEST(PostedMessages, WhatIsNotAPlayerMessageIsRefused)
{
    posted_message p;
    EXPECT_EQ(melvox::pack_posted(make(0), p), error_invalid_message);
    EXPECT_EQ(melvox::pack_posted(make(53), p), error_invalid_message);
    posted_text_buffer buffer;
    player_message out{};
    EXPECT_EQ(melvox::unpack_posted({0x0400, 0, 0}, buffer, out), error_invalid_message);
    EXPECT_FALSE(melvox::is_posted_player_message(0x9000));
    EXPECT_FALSE(melvox::is_posted_player_message(0x9000 + 160));
    EXPECT_TRUE(melvox::is_posted_player_message(0x9000 + 159));
}

} // namespace
