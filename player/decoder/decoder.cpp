#include "decoder/decoder.h"

#include "messages/message_packer.h"

#include <cstring>

namespace melvox {

player_decoder::player_decoder(decoder_channel& c)
    : ::decoder{}, channel(c), input_chain(input_terminal_table(), static_cast<::decoder*>(this)),
      output_chain(output_terminal_table(), &output.module)
{
    install_services(*this);
    stream.info.properties = &properties;
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

void input_record::release()
{
    if (shared.instance != nullptr)
        shared.entry->table.input.delete_instance(shared.instance);
    shared.instance = nullptr;
    shared.entry = nullptr;
    name.clear();
}

void output_record::release()
{
    if (module.instance != nullptr)
        module.entry->table.output.delete_instance(module.instance);
    module = {};
    name.clear();
}

void codec_record::release()
{
    if (instance != nullptr)
        entry->table.codec.delete_instance(instance);
    instance = nullptr;
    entry = nullptr;
    largest_frame_bytes = 0;
    capabilities = 0;
}

} // namespace melvox
