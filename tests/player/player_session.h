// A test fixture's view of one player: taking notifications and checking
// what they say. Used by the tests of every transport.
#pragma once

#include "melvox.h"

#include <gtest/gtest.h>

#include <string>

inline constexpr long five_seconds_us = 5000000;

class PlayerSessionTest : public ::testing::Test {
protected:
    // Starts the player (with client as its notification window, if any) and
    // takes notify_ready.
    void start(void* client = nullptr)
    {
        ASSERT_EQ(player_new(&p, client), 0);
        ASSERT_NE(p, nullptr);
        expect_next(notify_ready);
    }

    void stop()
    {
        if (p != nullptr) {
            EXPECT_EQ(player_delete(p), 0);
        }
        p = nullptr;
    }

    // The next notification. On Windows the caller's queue also carries the
    // system's own messages, which arrive as records of code 0: skipped.
    player_message next()
    {
        player_message m{};
        do
            EXPECT_EQ(player_wait_message(p, &m, five_seconds_us), 1);
        while (m.code == 0 && !::testing::Test::HasFailure());
        return m;
    }

    player_message expect_next(int code)
    {
        player_message m = next();
        EXPECT_EQ(m.code, static_cast<uint32_t>(code));
        return m;
    }

    void expect_ack(int command)
    {
        player_message m = expect_next(notify_ack);
        EXPECT_EQ(player_message_byte(&m, 4), command);
    }

    void expect_nack(int command, int error)
    {
        player_message m = expect_next(notify_nack);
        EXPECT_EQ(player_message_byte(&m, 4), command);
        EXPECT_EQ(static_cast<int16_t>(player_message_half(&m, 6)), error);
    }

    // The decoder side has taken everything sent so far and nothing it sent is left.
    void expect_nothing_more()
    {
        ASSERT_EQ(player_sync(p, 5000), 0);
        player_message m{};
        int r;
        while ((r = player_get_message(p, &m)) == 1 && m.code == 0) {
        }
        EXPECT_EQ(r, 0) << "unexpected code " << m.code;
    }

    static std::string string_at(const player_message& m, unsigned offset)
    {
        auto s = static_cast<const char*>(player_message_pointer(&m, offset));
        return s == nullptr ? "(null)" : s;
    }

    player* p = nullptr;
};
