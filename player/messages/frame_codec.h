// The byte encoding of a player_message on pipes: 1 byte code, a 4-byte
// big-endian n (the frame being n + 1 bytes long), then the arguments as
// tagged fields in the order of the code's field signature.
#pragma once

#include "melvox.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melvox {

constexpr size_t frame_header_size = 5;
// A receiver queues at most this many bytes, so no frame may be longer.
constexpr size_t receive_queue_size = 16384;
// Frames up to this size are assembled without growing the frame buffer.
constexpr size_t frame_buffer_size = 1040;
// Longer strings travel cut to this many bytes.
constexpr size_t longest_string = 8191;

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

struct wire_field;

// A property list field of m ('p'): a 4-byte big-endian count, then per
// entry its type byte, its name and its string or 4-byte integer value (each
// string as a 2-byte big-endian length counting its NUL, the text and the
// NUL). The Windows transport packs property lists the same way.
int put_property_list(std::vector<uint8_t>& out, const player_message& m, const wire_field& f);

// Reads a property list from bytes at 'at' (advanced past it) into storage,
// and sets f's pointer and count in out; error_invalid_message when malformed.
int get_property_list(std::vector<uint8_t>& bytes, size_t& at, std::vector<player_property>& storage,
                      player_message& out, const wire_field& f);

// Decodes frame.bytes in place: strings, blocks and property entries of out
// point into frame, valid while it is unchanged. A malformed frame is
// error_invalid_message.
int decode_frame(received_frame& frame, player_message& out);

} // namespace melvox
