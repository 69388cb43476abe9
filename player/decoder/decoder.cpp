#include "decoder/decoder.h"

#include "messages/message_packer.h"
#include "decoder/pipeline.h"
#include "decoder/stream_notifications.h"

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
    return notify(make_player_message(static_cast<uint32_t>(code)));
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
    notify(make_notify_player_state(state));
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

} // namespace melvox
