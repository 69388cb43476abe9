// The decoder side's main loop: it runs the hook list, answers commands and,
// while playing, decodes a frame between two looks at its queue.
#include "decoder/decoder_loop.h"
#include "decoder/decoder.h"
#include "decoder/pipeline.h"
#include "decoder/stream_notifications.h"

#include <chrono>
#include <cstring>

namespace melvox {

void run_hooks(player_decoder& d, const player_hook_list* hooks)
{
    if (hooks == nullptr || hooks->hooks == nullptr)
        return;
    for (intptr_t i = 0; i < hooks->count; ++i) {
        const player_hook& h = hooks->hooks[i];
        if (h.name == nullptr)
            continue;
        bool init = std::strcmp(h.name, "init-hook") == 0;
        bool loader = std::strcmp(h.name, "module-loader-hook") == 0;
        if (!init && !loader)
            continue;
        if (h.type != player_hook_type)
            break;
        if (h.pair == nullptr || h.pair->function == nullptr)
            continue;
        if (init)
            reinterpret_cast<player_init_hook>(h.pair->function)(h.pair->user_data, &d.channel, &d);
        else
            d.loader_hook = *h.pair;
    }
}

void run_decoder(decoder_channel& channel, const player_hook_list* hooks)
{
    player_decoder d(channel);
    run_hooks(d, hooks);
    d.notify_code(notify_ready);
    // While playing, the queue is looked at again only when a millisecond
    // has passed since the last look found it empty: a look is a system call,
    // and an output that takes frames at once (a file) plays dozens of
    // frames in that time. A sound device takes a frame in milliseconds, so
    // it is looked at before each.
    constexpr auto look_interval = std::chrono::milliseconds(1);
    auto next_look = std::chrono::steady_clock::now();
    for (;;) {
        // What is queued is taken, all of it, before the next frame; while
        // not playing the decoder waits for the next message.
        player_message m;
        bool playing = d.state == player_state_playing;
        auto now = std::chrono::steady_clock::now();
        bool look = !playing || now >= next_look;
        int r = look ? channel.receive(m, playing ? 0 : -1) : error_timeout;
        if (r == error_timeout) {
            if (look)
                next_look = now + look_interval;
            d.decoding = true;
            int step = decode_step(d);
            d.decoding = false;
            finish_step(d, step);
            continue;
        }
        if (r == error_invalid_message)
            continue; // a frame that could not be read; the next one can
        if (r < 0)
            break; // the caller has gone: end without a word
        if (m.code == command_exit) {
            close_everything(d);
            // The feedback side ends first, so that nothing it sends can
            // come after notify_exited.
            channel.end_feedback(side_end_timeout_ms);
            d.notify_code(notify_exited);
            return;
        }
        take_command(d, m);
    }
    close_everything(d);
    channel.end_feedback(side_end_timeout_ms);
}

} // namespace melvox
