// The one table of message codes: for every code, where its arguments lie in
// the record in call order (used by the packer) and the tagged fields that
// carry it through a byte channel (used by the frame encoder and decoder).
#pragma once

#include <cstdint>

namespace melvox {

// Argument kinds in call order.
enum class argument_kind : char { byte = 'b', half = 'h', word = 'w', pointer = 'p' };

struct call_argument {
    argument_kind kind;
    uint8_t offset;
};

// How long a block ('B') is, or where a property list ('p') keeps its count.
enum class block_length : char {
    none,           // not a block
    word_at,        // the 32-bit value at length_offset
    fixed,          // fixed_length bytes, or none for a null pointer
    product_halves, // the 16-bit values at length_offset and factor_offset multiplied
};

// One tagged field: 'b' byte, 's' 16-bit, 'l' 32-bit, 'c' string,
// 'B' data block, 'p' property list.
struct wire_field {
    char tag;
    uint8_t offset;
    block_length length;
    uint8_t length_offset;
    uint8_t factor_offset;
    uint16_t fixed_length;
};

struct message_layout {
    const char* name;
    uint8_t argument_count;
    call_argument arguments[6];
    uint8_t field_count;
    wire_field fields[6];
};

// The layout of a code, or null for codes that are not messages (0, 53, 55,
// 68, 97, 99 and everything from 160 up).
const message_layout* find_message_layout(int code);

} // namespace melvox
