#include "messages/frame_codec.h"

#include <new>

namespace melvox {
namespace {

// Each field after its tag; strings counted; every block with its length.
constexpr field_form frame_form{true, true, false, receive_queue_size, error_circular_queue_full};

} // namespace

int encode_frame(const player_message& m, std::vector<uint8_t>& out)
{
    const message_layout* layout = find_message_layout(static_cast<int>(m.code));
    if (layout == nullptr)
        return error_invalid_message;
    try {
        out.assign(frame_header_size, 0); // n, known at the end
        out[0] = static_cast<uint8_t>(m.code);
        if (int r = put_fields(m, *layout, frame_form, out); r < 0)
            return r;
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    uint32_t n = static_cast<uint32_t>(out.size() - 1);
    for (int i = 0; i < 4; ++i)
        out[1 + i] = static_cast<uint8_t>(n >> (24 - 8 * i));
    return 0;
}

uint64_t frame_length(const uint8_t* header)
{
    uint64_t n = uint64_t{header[1]} << 24 | uint64_t{header[2]} << 16 | uint64_t{header[3]} << 8 | header[4];
    return n + 1;
}

int decode_frame(received_frame& frame, player_message& out)
{
    std::vector<uint8_t>& bytes = frame.bytes;
    if (bytes.size() < frame_header_size || frame_length(bytes.data()) != bytes.size())
        return error_invalid_message;
    const message_layout* layout = find_message_layout(bytes[0]);
    if (layout == nullptr)
        return error_invalid_message;
    player_message m = make_player_message(bytes[0]);
    if (int r = get_fields(bytes, frame_header_size, *layout, frame_form, frame.properties, m); r < 0)
        return r;
    out = m;
    return 0;
}

} // namespace melvox
