// Fills a player_message from argument words given in the code's call order.
#pragma once

#include "melvox.h"

#include <cstddef>
#include <cstdint>

namespace melvox {

// Missing words count as 0, extra words are ignored. A code that is not a
// message is error_invalid_message and leaves out untouched.
int pack_message(int code, const intptr_t* words, size_t count, player_message& out);

// notify_ack (code) for a result >= 0, notify_nack (code, result) otherwise.
player_message acknowledgement(int code, int result);

} // namespace melvox
