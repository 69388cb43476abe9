// The player through its decoder and feedback threads and the window and
// thread messages between them.
#include "transport/channel.h"
#include "player_session.h"

#include "melvox.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

class PlayerThreadsTest : public PlayerSessionTest {
protected:
    void SetUp() override { start(); }
    void TearDown() override { stop(); }
};

TEST_F(PlayerThreadsTest, PingIsAnsweredWithPongThenAck)
{
    ASSERT_EQ(player_send_message(p, command_ping, 0x12345678), 0);
    player_message pong = expect_next(notify_pong);
    EXPECT_EQ(player_message_word(&pong, 4), 0x12345678u);
    expect_ack(command_ping);
    expect_nothing_more();
}

TEST_F(PlayerThreadsTest, WaitingWithNothingSentTimesOutAfterItsTime)
{
    player_message m;
    auto begin = clock_type::now();
    EXPECT_EQ(player_wait_message(p, &m, 500000), error_timeout);
    auto waited = clock_type::now() - begin;
    EXPECT_GE(waited, std::chrono::milliseconds(450));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
    EXPECT_EQ(player_get_message(p, &m), 0);
}

TEST_F(PlayerThreadsTest, LongStringsArriveCutTo8191Bytes)
{
    std::string value(9000, 'v');
    ASSERT_EQ(player_send_message(p, command_set_environment_string, "BIG", value.c_str()), 0);
    expect_ack(command_set_environment_string);
    ASSERT_EQ(player_send_message(p, command_get_environment_string, "BIG"), 0);
    player_message m = expect_next(notify_environment_string);
    EXPECT_EQ(string_at(m, 4), "BIG");
    EXPECT_EQ(string_at(m, 8), std::string(8191, 'v'));
    expect_ack(command_get_environment_string);
}

TEST_F(PlayerThreadsTest, SyncReturnsOnceTheDecoderHasCaughtUpAndKeepsNotifications)
{
    for (uint32_t tag = 1; tag <= 3; ++tag)
        ASSERT_EQ(player_send_message(p, command_ping, tag), 0);
    ASSERT_EQ(player_sync(p, 5000), 0);
    // Whatever the decoder thread posted before taking the sync is queued.
    for (uint32_t tag = 1; tag <= 3; ++tag) {
        player_message m = expect_next(notify_pong);
        EXPECT_EQ(player_message_word(&m, 4), tag);
        expect_ack(command_ping);
    }
    ASSERT_EQ(player_send_message(p, command_sync), 0);
    expect_nothing_more();
}

TEST_F(PlayerThreadsTest, TheDecoderRunsAtTheHighestClassAndPrioritiesReadBack)
{
    EXPECT_EQ(player_get_priority(p), player_priority_highest);
    for (int c = player_priority_idle; c <= player_priority_highest; ++c) {
        ASSERT_EQ(player_set_priority(p, c), 0);
        EXPECT_EQ(player_get_priority(p), c);
    }
    EXPECT_EQ(player_set_priority(p, 5), error_invalid_parameters);
    EXPECT_EQ(player_set_priority(p, -1), error_invalid_parameters);
    EXPECT_EQ(player_get_priority(p), player_priority_highest);
}

TEST_F(PlayerThreadsTest, TheFeedbackThreadAnswersItsOwnCommands)
{
    ASSERT_EQ(player_send_message(p, command_feedback_set_environment_integer, "FEEDBACK.X", 42), 0);
    expect_ack(command_feedback_set_environment_integer);
    ASSERT_EQ(player_send_message(p, command_feedback_get_environment_integer, "FEEDBACK.X"), 0);
    player_message m = expect_next(notify_feedback_environment_integer);
    EXPECT_EQ(string_at(m, 4), "FEEDBACK.X");
    EXPECT_EQ(player_message_word(&m, 8), 42u);
    expect_ack(command_feedback_get_environment_integer);
    // The decoder thread keeps an environment of its own.
    ASSERT_EQ(player_send_message(p, command_get_environment_integer, "FEEDBACK.X"), 0);
    expect_nack(command_get_environment_integer, error_no_such_variable);
}

TEST_F(PlayerThreadsTest, PostingToAThreadThatHasEndedGivesUpAfterItsRetries)
{
    ASSERT_EQ(player_send_message(p, command_exit), 0);
    expect_next(notify_exited);
    // The decoder thread ends once its feedback thread has ended.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto begin = clock_type::now();
    EXPECT_EQ(player_send_message(p, command_ping, 1), 0);
    auto took = clock_type::now() - begin;
    EXPECT_GE(took, std::chrono::milliseconds(100));
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    player_message m;
    EXPECT_EQ(player_wait_message(p, &m, 200000), error_timeout);
}

TEST_F(PlayerThreadsTest, ManyPlayersComeAndGo)
{
    stop();
    for (int i = 0; i < 20; ++i) {
        start();
        ASSERT_EQ(player_send_message(p, command_ping, i), 0);
        expect_next(notify_pong);
        stop();
    }
}

// Hooks run in the decoder thread and speak through its channel.
int announce(void* user_data, player_channel* channel, decoder*)
{
    player_message m{};
    m.code = notify_debug;
    player_message_set_pointer(&m, 8, user_data);
    return channel->post(m);
}

player* start_with_hooks(const char* first_text, const char* second_text)
{
    // The list lives on this stack frame only: the decoder thread keeps a
    // copy of its own.
    player_hook_pair first = {const_cast<char*>(first_text), reinterpret_cast<void (*)(void)>(&announce)};
    player_hook_pair second = {const_cast<char*>(second_text), reinterpret_cast<void (*)(void)>(&announce)};
    player_hook entries[] = {{"init-hook", &first, player_hook_type},
                             {"some-other-hook", &first, 3},
                             {"init-hook", &second, player_hook_type}};
    player_hook_list hooks = {3, entries};
    player* q = nullptr;
    EXPECT_EQ(player_new_with_hooks(&q, nullptr, &hooks), 0);
    return q;
}

TEST(PlayerThreadHooks, InitHooksRunInOrderFromACopyOfTheList)
{
    player* q = start_with_hooks("first", "second");
    ASSERT_NE(q, nullptr);
    std::vector<std::string> texts;
    player_message m{};
    while (player_wait_message(q, &m, five_seconds_us) == 1 && (m.code == notify_debug || m.code == 0))
        if (m.code == notify_debug)
            texts.push_back(static_cast<const char*>(player_message_pointer(&m, 8)));
    EXPECT_EQ(m.code, static_cast<uint32_t>(notify_ready));
    EXPECT_EQ(texts, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(player_delete(q), 0);
}

// A caller that gives its own window: notifications arrive as window
// messages, which the window procedure turns back with player_unpack_message.
struct window_inbox {
    player* p = nullptr;
    std::vector<player_message> taken;
    std::vector<std::string> texts;
    int failures = 0;
};

window_inbox* inbox = nullptr;

LRESULT CALLBACK inbox_procedure(HWND window, UINT id, WPARAM wparam, LPARAM lparam)
{
    if (id < 0x9000 || inbox == nullptr || inbox->p == nullptr)
        return DefWindowProcA(window, id, wparam, lparam);
    player_message m{};
    if (player_unpack_message(inbox->p, &m, id, wparam, lparam) != 0) {
        ++inbox->failures;
        return 0;
    }
    inbox->taken.push_back(m);
    auto text = m.code == notify_environment_string ? static_cast<const char*>(player_message_pointer(&m, 8)) : nullptr;
    inbox->texts.push_back(text != nullptr ? text : "");
    return 0;
}

// Pumps the thread's messages until the inbox holds count messages.
bool pump_until(size_t count)
{
    auto end = clock_type::now() + std::chrono::seconds(5);
    while (inbox->taken.size() < count && clock_type::now() < end) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return inbox->taken.size() >= count;
}

TEST(PlayerWindow, NotificationsReachTheCallersWindowAndUnpack)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = inbox_procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VexaTestInbox";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    window_inbox box;
    inbox = &box;
    ASSERT_EQ(player_new(&box.p, window), 0);
    ASSERT_TRUE(pump_until(1));
    EXPECT_EQ(box.taken[0].code, static_cast<uint32_t>(notify_ready));

    ASSERT_EQ(player_send_message(box.p, command_set_environment_string, "NAME", "value"), 0);
    ASSERT_EQ(player_send_message(box.p, command_get_environment_string, "NAME"), 0);
    ASSERT_TRUE(pump_until(4));
    EXPECT_EQ(box.taken[1].code, static_cast<uint32_t>(notify_ack));
    EXPECT_EQ(box.taken[2].code, static_cast<uint32_t>(notify_environment_string));
    EXPECT_EQ(box.texts[2], "value");
    EXPECT_EQ(box.taken[3].code, static_cast<uint32_t>(notify_ack));
    EXPECT_EQ(box.failures, 0);

    player_message m{};
    EXPECT_EQ(player_unpack_message(box.p, &m, 0x0400, 0, 0), error_invalid_parameters);
    EXPECT_EQ(player_delete(box.p), 0);
    inbox = nullptr;
    DestroyWindow(window);
    UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

} // namespace
