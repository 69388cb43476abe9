#include "messages/message_packer.h"

#include "messages/message_layouts.h"

namespace melvox {

static_assert(message_code_limit == player_message_code_limit);

int pack_message(int code, const intptr_t* words, size_t count, player_message& out)
{
    const message_layout* layout = find_message_layout(code);
    if (layout == nullptr)
        return error_invalid_message;
    player_message m = make_player_message(static_cast<uint32_t>(code));
    for (size_t i = 0; i < layout->argument_count; ++i) {
        intptr_t word = i < count ? words[i] : 0;
        const call_argument& a = layout->arguments[i];
        switch (a.kind) {
        case argument_kind::byte: player_message_set_byte(&m, a.offset, static_cast<uint8_t>(word)); break;
        case argument_kind::half: player_message_set_half(&m, a.offset, static_cast<uint16_t>(word)); break;
        case argument_kind::word: player_message_set_word(&m, a.offset, static_cast<uint32_t>(word)); break;
        case argument_kind::pointer:
            player_message_set_pointer(&m, a.offset, reinterpret_cast<const void*>(word));
            break;
        }
    }
    out = m;
    return 0;
}

int pack_message(int code, va_list arguments, player_message& out)
{
    const message_layout* layout = find_message_layout(code);
    if (layout == nullptr)
        return error_invalid_message;
    intptr_t words[most_arguments] = {};
    for (size_t i = 0; i < layout->argument_count; ++i)
        words[i] = layout->arguments[i].kind == argument_kind::pointer
                       ? reinterpret_cast<intptr_t>(va_arg(arguments, const void*))
                       : va_arg(arguments, int);
    return pack_message(code, words, layout->argument_count, out);
}

player_message acknowledgement(int code, int result)
{
    if (result < 0)
        return make_notify_nack(static_cast<uint8_t>(code), static_cast<int16_t>(result));
    return make_notify_ack(static_cast<uint8_t>(code));
}

player_message recoded(player_message m, int code)
{
    m.code = static_cast<uint32_t>(code);
    return m;
}

player_message sync_with_tag(uint32_t tag)
{
    player_message m = make_command_sync();
    player_message_set_word(&m, find_message_layout(command_sync)->described[0].offset, tag);
    return m;
}

} // namespace melvox
