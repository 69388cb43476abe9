// The message table's rows, read once at compile time: for every code, its
// arguments by name, type and place, where they lie in call order (used by
// the packer), the tagged fields that carry it through a byte channel (used by
// the frame codec and the window-message packing), the side that takes it and
// its notification-mask bit.
#pragma once

#include "messages/message_table.h"

#include <cstdint>
#include <string_view>

namespace melvox {

// Codes from here up are not messages.
constexpr int message_code_limit = 160;

// The type of an argument, as the row names it.
enum class value_type : uint8_t { u8, u16, i16, u32, i32, text, bytes, i8s, list };

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

// An argument as the row describes it.
struct message_argument {
    std::string_view name;
    value_type type;
    uint8_t offset;
    bool hidden;             // not in call order: the library sets it
    std::string_view length; // of a block or list, as the row writes it
};

constexpr size_t most_arguments = 6;

struct message_layout {
    const char* name;
    message_route route;
    uint32_t mask_bit;
    const char* about;
    bool words_in_params;
    uint8_t described_count;
    message_argument described[most_arguments];
    uint8_t argument_count;
    call_argument arguments[most_arguments];
    uint8_t field_count;
    wire_field fields[most_arguments];
};

// The layout of a code, or null for codes that are not messages (0, 53, 55,
// 68, 97, 99 and everything from 160 up).
const message_layout* find_message_layout(int code);

// The side that takes a code; reserved for codes that are not messages.
message_route route_of(int code);

} // namespace melvox
