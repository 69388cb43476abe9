#include "messages/message_packer.h"

#include "messages/message_layouts.h"

namespace melvox {

int pack_message(int code, const intptr_t* words, size_t count, player_message& out)
{
    const message_layout* layout = find_message_layout(code);
    if (layout == nullptr)
        return error_invalid_message;
    player_message m{};
    m.code = static_cast<uint32_t>(code);
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

player_message acknowledgement(int code, int result)
{
    player_message m{};
    m.code = result < 0 ? notify_nack : notify_ack;
    player_message_set_byte(&m, 4, static_cast<uint8_t>(code));
    if (result < 0)
        player_message_set_half(&m, 6, static_cast<uint16_t>(static_cast<int16_t>(result)));
    return m;
}

} // namespace melvox
