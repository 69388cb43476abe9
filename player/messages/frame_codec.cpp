#include "messages/frame_codec.h"

#include "messages/message_layouts.h"

#include <cstring>
#include <new>

namespace melvox {
namespace {

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v >> 16);
    put16(out, v);
}

// A string's length on the wire: without its NUL, cut to longest_string.
size_t wire_string_length(const char* s)
{
    return s == nullptr ? 0 : strnlen(s, longest_string);
}

// Appends a 16-bit length (string length + 1), the text and its NUL.
void put_string(std::vector<uint8_t>& out, const char* s)
{
    size_t length = wire_string_length(s);
    put16(out, static_cast<uint32_t>(length + 1));
    if (length > 0)
        out.insert(out.end(), s, s + length);
    out.push_back(0);
}

// The number of bytes of a block field, without reading the block.
uint64_t block_size(const player_message& m, const wire_field& f)
{
    if (player_message_pointer(&m, f.offset) == nullptr)
        return 0;
    switch (f.length) {
    case block_length::word_at: return player_message_word(&m, f.length_offset);
    case block_length::fixed: return f.fixed_length;
    case block_length::product_halves:
        return uint64_t{player_message_half(&m, f.length_offset)} * player_message_half(&m, f.factor_offset);
    case block_length::none: break;
    }
    return 0;
}

} // namespace

int put_property_list(std::vector<uint8_t>& out, const player_message& m, const wire_field& f)
{
    auto count = static_cast<int32_t>(player_message_word(&m, f.length_offset));
    auto entries = static_cast<const player_property*>(player_message_pointer(&m, f.offset));
    if (count < 0 || (count > 0 && entries == nullptr))
        return error_invalid_message;
    put32(out, static_cast<uint32_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const player_property& p = entries[i];
        if (p.type != player_value_integer && p.type != player_value_string)
            return error_invalid_message;
        out.push_back(static_cast<uint8_t>(p.type));
        put_string(out, p.name);
        if (p.type == player_value_integer)
            put32(out, static_cast<uint32_t>(p.value.integer));
        else
            put_string(out, p.value.string);
        // Stop reading entries as soon as the frame cannot be sent anyway.
        if (out.size() > receive_queue_size)
            return error_circular_queue_full;
    }
    return 0;
}

namespace {

// Reads fields from a received frame, refusing anything that runs past it.
class field_reader {
public:
    field_reader(std::vector<uint8_t>& bytes, size_t at) : bytes_(bytes), at_(at) {}

    bool take(size_t n) const { return bytes_.size() - at_ >= n; }
    bool at_end() const { return at_ == bytes_.size(); }
    size_t position() const { return at_; }

    uint32_t get8() { return bytes_[at_++]; }
    uint32_t get16()
    {
        uint32_t hi = get8();
        return hi << 8 | get8();
    }
    uint32_t get32()
    {
        uint32_t hi = get16();
        return hi << 16 | get16();
    }

    // A 16-bit length and that many bytes ending in NUL; null when malformed.
    // Longer strings than longest_string are cut.
    const char* get_string()
    {
        if (!take(2))
            return nullptr;
        size_t length = get16();
        if (length == 0 || !take(length) || bytes_[at_ + length - 1] != 0)
            return nullptr;
        auto text = reinterpret_cast<char*>(&bytes_[at_]);
        if (length - 1 > longest_string)
            text[longest_string] = '\0';
        at_ += length;
        return text;
    }

    const uint8_t* get_bytes(size_t n)
    {
        const uint8_t* p = &bytes_[at_];
        at_ += n;
        return p;
    }

private:
    std::vector<uint8_t>& bytes_;
    size_t at_;
};

int get_properties(field_reader& in, std::vector<player_property>& storage, player_message& out, const wire_field& f)
{
    if (!in.take(4))
        return error_invalid_message;
    uint32_t count = in.get32();
    // Every entry takes at least 7 bytes, so a count beyond that is a lie.
    if (count > receive_queue_size / 7)
        return error_invalid_message;
    storage.clear();
    storage.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!in.take(1))
            return error_invalid_message;
        player_property p{};
        p.type = in.get8();
        p.name = in.get_string();
        if (p.name == nullptr)
            return error_invalid_message;
        if (p.type == player_value_integer) {
            if (!in.take(4))
                return error_invalid_message;
            p.value.integer = static_cast<int32_t>(in.get32());
        } else if (p.type == player_value_string) {
            p.value.string = in.get_string();
            if (p.value.string == nullptr)
                return error_invalid_message;
        } else {
            return error_invalid_message;
        }
        storage.push_back(p);
    }
    player_message_set_word(&out, f.length_offset, count);
    player_message_set_pointer(&out, f.offset, count == 0 ? nullptr : storage.data());
    return 0;
}

int get_block(field_reader& in, player_message& out, const wire_field& f)
{
    if (!in.take(4))
        return error_invalid_message;
    uint32_t length = in.get32();
    if (!in.take(length))
        return error_invalid_message;
    const uint8_t* data = in.get_bytes(length);
    switch (f.length) {
    case block_length::word_at: player_message_set_word(&out, f.length_offset, length); break;
    case block_length::fixed:
        if (length != 0 && length != f.fixed_length)
            return error_invalid_message;
        break;
    case block_length::product_halves:
        // The counts come before the block, so they can be checked against it.
        if (length != 0 &&
            length != uint32_t{player_message_half(&out, f.length_offset)} * player_message_half(&out, f.factor_offset))
            return error_invalid_message;
        break;
    case block_length::none: return error_invalid_message;
    }
    player_message_set_pointer(&out, f.offset, length == 0 ? nullptr : data);
    return 0;
}

} // namespace

int get_property_list(std::vector<uint8_t>& bytes, size_t& at, std::vector<player_property>& storage,
                      player_message& out, const wire_field& f)
{
    field_reader in(bytes, at);
    int r = get_properties(in, storage, out, f);
    at = in.position();
    return r;
}

int encode_frame(const player_message& m, std::vector<uint8_t>& out)
{
    const message_layout* layout = find_message_layout(static_cast<int>(m.code));
    if (layout == nullptr)
        return error_invalid_message;
    try {
        out.clear();
        out.push_back(static_cast<uint8_t>(m.code));
        put32(out, 0); // n, known at the end
        for (size_t i = 0; i < layout->field_count; ++i) {
            const wire_field& f = layout->fields[i];
            out.push_back(static_cast<uint8_t>(f.tag));
            switch (f.tag) {
            case 'b': out.push_back(player_message_byte(&m, f.offset)); break;
            case 's': put16(out, player_message_half(&m, f.offset)); break;
            case 'l': put32(out, player_message_word(&m, f.offset)); break;
            case 'c': put_string(out, static_cast<const char*>(player_message_pointer(&m, f.offset))); break;
            case 'B': {
                uint64_t size = block_size(m, f);
                if (out.size() + 4 + size > receive_queue_size)
                    return error_circular_queue_full;
                put32(out, static_cast<uint32_t>(size));
                auto data = static_cast<const uint8_t*>(player_message_pointer(&m, f.offset));
                if (size > 0)
                    out.insert(out.end(), data, data + size);
                break;
            }
            case 'p':
                if (int r = put_property_list(out, m, f); r < 0)
                    return r;
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    if (out.size() > receive_queue_size)
        return error_circular_queue_full;
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
    player_message m{};
    m.code = bytes[0];
    field_reader in(bytes, frame_header_size);
    for (size_t i = 0; i < layout->field_count; ++i) {
        const wire_field& f = layout->fields[i];
        if (!in.take(1) || in.get8() != static_cast<uint8_t>(f.tag))
            return error_invalid_message;
        switch (f.tag) {
        case 'b':
            if (!in.take(1))
                return error_invalid_message;
            player_message_set_byte(&m, f.offset, static_cast<uint8_t>(in.get8()));
            break;
        case 's':
            if (!in.take(2))
                return error_invalid_message;
            player_message_set_half(&m, f.offset, static_cast<uint16_t>(in.get16()));
            break;
        case 'l':
            if (!in.take(4))
                return error_invalid_message;
            player_message_set_word(&m, f.offset, in.get32());
            break;
        case 'c': {
            const char* text = in.get_string();
            if (text == nullptr)
                return error_invalid_message;
            player_message_set_pointer(&m, f.offset, text);
            break;
        }
        case 'B':
            if (int r = get_block(in, m, f); r < 0)
                return r;
            break;
        case 'p':
            if (int r = get_properties(in, frame.properties, m, f); r < 0)
                return r;
            break;
        }
    }
    if (!in.at_end())
        return error_invalid_message;
    out = m;
    return 0;
}

} // namespace melvox
