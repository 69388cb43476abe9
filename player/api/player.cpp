// The caller's functions: creating and deleting players, sending commands and
// taking notifications.
#include "transport/channel.h"
#include "messages/message_layouts.h"
#include "messages/message_packer.h"
#include "decoder/decoder_loop.h"
#include "feedback/feedback_side.h"

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
    const melvox::message_layout* layout = melvox::find_message_layout(code);
    if (layout == nullptr)
        return is_live(p) ? error_invalid_message : error_invalid_parameters;
    intptr_t words[6] = {};
    va_list args;
    va_start(args, code);
    for (size_t i = 0; i < layout->argument_count; ++i)
        words[i] = layout->arguments[i].kind == melvox::argument_kind::pointer
                       ? reinterpret_cast<intptr_t>(va_arg(args, const void*))
                       : va_arg(args, int);
    va_end(args);
    return send_words(p, code, words, layout->argument_count);
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
        player_message_set_word(&m, 4, 0);
    return p->channel->post(m);
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
