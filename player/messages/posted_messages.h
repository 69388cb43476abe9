// How a player_message travels as a window or thread message on Windows:
// message id 0x9000 + code, the small arguments packed into wParam and
// strings, blocks, property lists and PCM blocks as a heap copy in lParam,
// which the receiver copies into its text buffer and frees. The packing
// itself needs no Windows call, so it is built and tested everywhere.
#pragma once

#include "melvox.h"

#include <cstdint>
#include <vector>

namespace melvox {

constexpr unsigned posted_message_base = 0x9000;

// Whether a window message id carries a player message.
constexpr bool is_posted_player_message(unsigned id)
{
    return id > posted_message_base && id < posted_message_base + 160;
}

struct posted_message {
    unsigned id = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
};

// Packs m. A heap copy in lparam belongs to whoever holds the posted message
// next: the receiver (unpack_posted) or, when posting fails, the sender
// (release_posted). A code that is not a message, or a block or property list
// that cannot be described, is error_invalid_message.
int pack_posted(const player_message& m, posted_message& out);

// Frees the heap copy of a message that was never delivered.
void release_posted(const posted_message& p);

// The receiving endpoint's text buffer: unpacked strings, blocks and property
// entries point into it until the next message is unpacked.
struct posted_text_buffer {
    std::vector<uint8_t> bytes;
    std::vector<player_property> properties;
};

// Restores the player_message of a posted message and frees its heap copy.
// A malformed message is error_invalid_message (its copy is freed too).
int unpack_posted(const posted_message& p, posted_text_buffer& buffer, player_message& out);

} // namespace melvox
