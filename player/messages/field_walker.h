// A message's fields as bytes, in the order of its layout: one walker for
// both byte forms, the pipe frames and the heap copies that window messages
// carry. The two differ only in what a form below says.
#pragma once

#include "melvox.h"
#include "messages/message_layouts.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melvox {

// Longer strings travel cut to this many bytes.
constexpr size_t longest_string = 8191;
// A receiver queues at most this many bytes of a frame. A property list
// longer than that is refused on every transport, so that all behave alike.
constexpr size_t receive_queue_size = 16384;

struct field_form {
    bool tagged;          // each field starts with its tag
    bool counted_strings; // a string starts with a 2-byte length counting its NUL; else it just ends at its NUL
    bool implied_lengths; // a block whose length follows from counts before it carries no length
    size_t most_bytes;    // what the bytes written may come to at the most
    int too_long;         // the error for more
};

// The length of a block field, from the message and without reading the block:
// 0 for a null block.
uint64_t block_bytes(const player_message& m, const wire_field& f);

// Appends m's fields to out. With small_word, its byte, 16-bit and 32-bit
// fields go into that word instead, the first at the lowest bits. A block or
// property list that cannot be described is error_invalid_message.
int put_fields(const player_message& m, const message_layout& layout, const field_form& form, std::vector<uint8_t>& out,
               uint32_t* small_word = nullptr);

// Reads the fields from bytes[at] up to the end of bytes into m; with
// small_word, the small fields come from that word. Strings, blocks and
// property entries point into bytes (and properties), and long strings are cut
// in place. Anything malformed, or bytes left over, is error_invalid_message.
int get_fields(std::vector<uint8_t>& bytes, size_t at, const message_layout& layout, const field_form& form,
               std::vector<player_property>& properties, player_message& m, const uint32_t* small_word = nullptr);

} // namespace melvox
