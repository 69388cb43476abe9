// The caller's functions: creating and deleting players, sending commands and
// taking notifications.
#include "transport/channel.h"
#include "messages/message_layouts.h"
#include "messages/message_packer.h"
#include "decoder/decoder_loop.h"
#include "feedback/feedback_side.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <mutex>
#include <new>
#include <set>

struct player {
    std::unique_ptr<melvox::caller_channel> channel;
    uint32_t last_sync_tag = 0;
};

namespace {

// Handles that are alive: a handle deleted twice, or never made, is refused
// instead of being used.
std::mutex live_mutex;
std::set<player*> live_players;

bool is_live(player* p)
{
    std::lock_guard lock(live_mutex);
    return live_players.count(p) != 0;
}

int send_words(player* p, int code, const intptr_t* words, size_t count)
{
    if (!is_live(p))
        return error_invalid_parameters;
    player_message m;
    if (int r = melvox::pack_message(code, words, count, m); r < 0)
        return r;
    return p->channel->post(m);
}

bool is_answered(int code)
{
    melvox::message_route route = melvox::route_of(code);
    return route == melvox::message_route::decoder || route == melvox::message_route::feedback;
}

// What player_command waits for its answer with.
struct answer_wait {
    player_notification_function seen;
    void* user_data;
    long timeout_us;
};

// Posts a command and takes notifications until its answer.
int post_and_wait(player* p, const player_message& m, const answer_wait& wait)
{
    using clock = std::chrono::steady_clock;
    if (int r = p->channel->post(m); r < 0)
        return r;
    clock::time_point deadline = clock::now() + std::chrono::microseconds(wait.timeout_us);
    for (;;) {
        long long left = -1;
        if (wait.timeout_us >= 0)
            left = std::max<long long>(
                0, std::chrono::duration_cast<std::chrono::microseconds>(deadline - clock::now()).count());
        player_message answer;
        if (int r = p->channel->receive(answer, left); r < 0)
            return r;
        if (answer.code == 0)
            continue; // a message of the system's own, already dispatched
        if (wait.seen != nullptr)
            wait.seen(wait.user_data, &answer);
        if ((answer.code == notify_ack || answer.code == notify_nack) && notify_ack_command(&answer) == m.code)
            return answer.code == notify_ack ? 0 : notify_nack_error(&answer);
    }
}

int check_command(player* p, int code, long timeout_us)
{
    if (!is_live(p) || timeout_us < -1)
        return error_invalid_parameters;
    if (melvox::find_message_layout(code) == nullptr)
        return error_invalid_message;
    return is_answered(code) ? 0 : error_invalid_parameters;
}

// Packs a variadic call's arguments and posts them, waiting for the answer
// when asked to.
int send_arguments(player* p, int code, va_list arguments, const answer_wait* wait)
{
    player_message m;
    if (int r = melvox::pack_message(code, arguments, m); r < 0)
        return r;
    return wait == nullptr ? p->channel->post(m) : post_and_wait(p, m, *wait);
}

} // namespace

extern "C" {

int player_new_with_hooks(player** out, void* client, const player_hook_list* hooks)
{
    if (out == nullptr)
        return error_invalid_parameters;
    *out = nullptr;
    auto p = new (std::nothrow) player;
    if (p == nullptr)
        return error_out_of_memory;
    if (int r = melvox::start_player_sides({melvox::run_decoder, melvox::run_feedback}, hooks, client, p->channel);
        r < 0) {
        delete p;
        return r;
    }
    try {
        std::lock_guard lock(live_mutex);
        live_players.insert(p);
    } catch (const std::bad_alloc&) {
        delete p; // ends the sides it started
        return error_out_of_memory;
    }
    *out = p;
    return 0;
}

int player_new(player** out, void* client)
{
    return player_new_with_hooks(out, client, melvox::default_hook_list());
}

int player_delete(player* p)
{
    {
        std::lock_guard lock(live_mutex);
        if (live_players.erase(p) == 0)
            return error_invalid_parameters;
    }
    p->channel->shut_down(melvox::side_end_timeout_ms);
    delete p;
    return 0;
}

int player_send_message(player* p, int code, ...)
{
    if (!is_live(p))
        return error_invalid_parameters;
    va_list args;
    va_start(args, code);
    int r = send_arguments(p, code, args, nullptr);
    va_end(args);
    return r;
}

int player_send_message0(player* p, int code)
{
    return send_words(p, code, nullptr, 0);
}

int player_send_message1(player* p, int code, intptr_t a1)
{
    intptr_t words[] = {a1};
    return send_words(p, code, words, 1);
}

int player_send_message2(player* p, int code, intptr_t a1, intptr_t a2)
{
    intptr_t words[] = {a1, a2};
    return send_words(p, code, words, 2);
}

int player_send_message3(player* p, int code, intptr_t a1, intptr_t a2, intptr_t a3)
{
    intptr_t words[] = {a1, a2, a3};
    return send_words(p, code, words, 3);
}

int player_send_message4(player* p, int code, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4)
{
    intptr_t words[] = {a1, a2, a3, a4};
    return send_words(p, code, words, 4);
}

int player_post_message(player* p, const player_message* message)
{
    if (!is_live(p) || message == nullptr)
        return error_invalid_parameters;
    player_message m = *message;
    // The sync tag is player_sync's own: a posted command_sync carries none.
    if (m.code == command_sync)
        m = melvox::sync_with_tag(0);
    return p->channel->post(m);
}

int player_command(player* p, player_notification_function seen, void* user_data, long timeout_us, int code, ...)
{
    if (int r = check_command(p, code, timeout_us); r < 0)
        return r;
    answer_wait wait{seen, user_data, timeout_us};
    va_list args;
    va_start(args, code);
    int r = send_arguments(p, code, args, &wait);
    va_end(args);
    return r;
}

int player_post_command(player* p, const player_message* command, player_notification_function seen, void* user_data,
                        long timeout_us)
{
    if (command == nullptr)
        return error_invalid_parameters;
    if (int r = check_command(p, static_cast<int>(command->code), timeout_us); r < 0)
        return r;
    return post_and_wait(p, *command, {seen, user_data, timeout_us});
}

int player_get_message(player* p, player_message* out)
{
    if (!is_live(p) || out == nullptr)
        return error_invalid_parameters;
    int r = p->channel->receive(*out, 0);
    return r == error_timeout ? 0 : r;
}

int player_wait_message(player* p, player_message* out, long timeout_us)
{
    if (!is_live(p) || out == nullptr || timeout_us < -1)
        return error_invalid_parameters;
    return p->channel->receive(*out, timeout_us);
}

int player_sync(player* p, int timeout_ms)
{
    if (!is_live(p) || timeout_ms < -1)
        return error_invalid_parameters;
    if (++p->last_sync_tag == 0)
        ++p->last_sync_tag;
    return p->channel->sync(p->last_sync_tag, timeout_ms);
}

int player_set_priority(player* p, int priority_class)
{
    if (!is_live(p) || priority_class < player_priority_idle || priority_class > player_priority_highest)
        return error_invalid_parameters;
    return p->channel->set_priority(priority_class);
}

int player_get_priority(player* p)
{
    if (!is_live(p))
        return error_invalid_parameters;
    return p->channel->get_priority();
}

int player_unpack_message(player* p, player_message* out, unsigned int message_id, uintptr_t wparam, intptr_t lparam)
{
    if (!is_live(p) || out == nullptr)
        return error_invalid_parameters;
    return p->channel->unpack(*out, message_id, wparam, lparam);
}

} // extern "C"
