// The byte encoding of a player_message on pipes: 1 byte code, a 4-byte
// big-endian n (the frame being n + 1 bytes long), then the arguments as
// tagged fields in the order of the code's field signature.
#pragma once

#include "melvox.h"
#include "messages/field_walker.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melvox {

constexpr size_t frame_header_size = 5;
// Frames up to this size are assembled without growing the frame buffer.
constexpr size_t frame_buffer_size = 1040;

// Encodes m into out. A code that is not a message (or a block or property
// list that cannot be described) is error_invalid_message; a frame longer
// than a receive queue is error_circular_queue_full, refused here so that it
// never reaches a receiver that could not take it.
int encode_frame(const player_message& m, std::vector<uint8_t>& out);

// The whole length of the frame whose 5 header bytes are given.
uint64_t frame_length(const uint8_t* header);

// A received frame and the storage that the decoded message points into.
struct received_frame {
    std::vector<uint8_t> bytes;
    std::vector<player_property> properties;
};

// Decodes frame.bytes in place: strings, blocks and property entries of out
// point into frame, valid while it is unchanged. A malformed frame is
// error_invalid_message.
int decode_frame(received_frame& frame, player_message& out);

} // namespace melvox
