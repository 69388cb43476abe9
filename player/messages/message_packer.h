// Fills a player_message from argument words given in the code's call order.
#pragma once

#include "melvox.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace melvox {

// Missing words count as 0, extra words are ignored. A code that is not a
// message is error_invalid_message and leaves out untouched.
int pack_message(int code, const intptr_t* words, size_t count, player_message& out);

// The same with the arguments of a variadic call: values as int, strings and
// blocks as pointers.
int pack_message(int code, va_list arguments, player_message& out);

// notify_ack (code) for a result >= 0, notify_nack (code, result) otherwise.
player_message acknowledgement(int code, int result);

// m's arguments under another code whose row lists the same arguments: the
// input and output forms of a notification, say, built once for both.
player_message recoded(player_message m, int code);

// The command_sync that player_sync sends and waits to see taken; a tag of 0
// is a sync that nobody waits for.
player_message sync_with_tag(uint32_t tag);

} // namespace melvox
