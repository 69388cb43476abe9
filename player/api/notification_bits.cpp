// Which notification-mask bit governs each notification: the message table's.
#include "melvox.h"
#include "messages/message_layouts.h"

extern "C" uint32_t player_notification_bit(int code)
{
    const melvox::message_layout* layout = melvox::find_message_layout(code);
    return layout == nullptr ? 0 : layout->mask_bit;
}
