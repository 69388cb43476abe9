#include "decoder.h"

#include "message_packer.h"
#include "pipeline.h"
#include "sides.h"
#include "stream_notifications.h"

#include <cstring>

namespace melvox {

player_decoder::player_decoder(decoder_channel& c)
    : ::decoder{}, channel(c), input_chain(input_terminal_table(), static_cast<::decoder*>(this)),
      output_chain(output_terminal_table(), &output.module)
{
    install_services(*this);
    stream.info.properties = &properties;
}

player_decoder::~player_decoder()
{
    close_everything(*this);
}

int player_decoder::notify(const player_message& m)
{
    uint32_t bit = player_notification_bit(static_cast<int>(m.code));
    if (bit != 0 && (settings.notification_mask & bit) == 0)
        return 0;
    return channel.post(m);
}

void player_decoder::answer(int code, int result)
{
    notify(acknowledgement(code, result));
}

int player_decoder::notify_code(int code)
{
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    return notify(m);
}

void player_decoder::report(int level, const char* message, const char* detail)
{
    services.report_message(services.report_data, report_source_decoder, level, message, detail);
}

int player_decoder::internal_error(const char* detail)
{
    report(0, "internal error", detail);
    return error_internal;
}

void player_decoder::set_state(uint8_t new_state)
{
    if (state == new_state)
        return;
    state = new_state;
    player_message m{};
    m.code = notify_player_state;
    player_message_set_byte(&m, 4, state);
    notify(m);
}

void close_everything(player_decoder& d)
{
    if (d.input_is_open())
        input_close(d);
    if (d.input.instance != nullptr)
        d.input.entry->table.input.delete_instance(d.input.instance);
    d.input.instance = nullptr;
    d.input.entry = nullptr;
    if (d.output.open)
        output_close(d);
    if (d.output.module.instance != nullptr)
        d.output.module.entry->table.output.delete_instance(d.output.module.instance);
    d.output.module = {};
    codec_delete(d);
}

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
    for (;;) {
        // Every queued message is taken before the next frame; while not
        // playing the decoder waits for the next one.
        player_message m;
        int r = channel.receive(m, d.state == player_state_playing ? 0 : -1);
        if (r == error_timeout) {
            finish_step(d, decode_step(d));
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
