#include "decoder.h"

#include "message_packer.h"
#include "sides.h"

#include <cstring>

int decoder::notify(const player_message& m)
{
    uint32_t bit = player_notification_bit(static_cast<int>(m.code));
    if (bit != 0 && (settings.notification_mask & bit) == 0)
        return 0;
    return channel.post(m);
}

void decoder::answer(int code, int result)
{
    notify(melvox::acknowledgement(code, result));
}

namespace melvox {

void run_hooks(decoder& d, const player_hook_list* hooks)
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
            d.module_loader_hook = *h.pair;
    }
}

void run_decoder(decoder_channel& channel, const player_hook_list* hooks)
{
    decoder d(channel);
    run_hooks(d, hooks);
    player_message ready{};
    ready.code = notify_ready;
    d.notify(ready);
    for (;;) {
        player_message m;
        int r = channel.receive(m, -1);
        if (r == error_invalid_message)
            continue; // a frame that could not be read; the next one can
        if (r < 0)
            break; // the caller has gone: end without a word
        if (m.code == command_exit) {
            // The feedback side ends first, so that nothing it sends can
            // come after notify_exited.
            channel.end_feedback(side_end_timeout_ms);
            player_message exited{};
            exited.code = notify_exited;
            d.notify(exited);
            return;
        }
        take_command(d, m);
    }
    channel.end_feedback(side_end_timeout_ms);
}

} // namespace melvox
