#include "messages/posted_messages.h"

#include "messages/frame_codec.h"
#include "messages/message_layouts.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace melvox {
namespace {

// The heap copy: a 4-byte length in host order, then the packed fields.
constexpr size_t copy_header = 4;

bool is_small(char tag)
{
    return tag == 'b' || tag == 's' || tag == 'l';
}

size_t small_size(char tag)
{
    return tag == 'b' ? 1 : tag == 's' ? 2 : 4;
}

bool is_pause_or_resume(int code)
{
    return code == feedback_pause || code == feedback_resume;
}

// Whether the message's small fields fit into a 32-bit wParam; otherwise
// every field goes into the heap copy.
bool small_fields_fit(const message_layout& layout)
{
    size_t total = 0;
    for (size_t i = 0; i < layout.field_count; ++i)
        if (is_small(layout.fields[i].tag))
            total += small_size(layout.fields[i].tag);
    return total <= 4;
}

uint32_t small_value(const player_message& m, const wire_field& f)
{
    switch (f.tag) {
    case 'b': return player_message_byte(&m, f.offset);
    case 's': return player_message_half(&m, f.offset);
    default: return player_message_word(&m, f.offset);
    }
}

void set_small_value(player_message& m, const wire_field& f, uint32_t v)
{
    switch (f.tag) {
    case 'b': player_message_set_byte(&m, f.offset, static_cast<uint8_t>(v)); break;
    case 's': player_message_set_half(&m, f.offset, static_cast<uint16_t>(v)); break;
    default: player_message_set_word(&m, f.offset, v); break;
    }
}

void put_big_endian(std::vector<uint8_t>& out, uint32_t v, size_t width)
{
    for (size_t i = width; i-- > 0;)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A PCM block's length follows from the counts before it; other blocks carry
// their length.
bool length_is_implied(const wire_field& f)
{
    return f.length == block_length::product_halves;
}

int put_block(std::vector<uint8_t>& out, const player_message& m, const wire_field& f)
{
    auto data = static_cast<const uint8_t*>(player_message_pointer(&m, f.offset));
    uint64_t size = 0;
    if (data != nullptr) {
        switch (f.length) {
        case block_length::word_at: size = player_message_word(&m, f.length_offset); break;
        case block_length::fixed: size = f.fixed_length; break;
        case block_length::product_halves:
            size = uint64_t{player_message_half(&m, f.length_offset)} * player_message_half(&m, f.factor_offset);
            break;
        case block_length::none: return error_invalid_message;
        }
    }
    if (size > UINT32_MAX - 64)
        return error_invalid_message;
    if (!length_is_implied(f))
        put_big_endian(out, static_cast<uint32_t>(size), 4);
    if (size > 0)
        out.insert(out.end(), data, data + size);
    return 0;
}

int put_field(std::vector<uint8_t>& out, const player_message& m, const wire_field& f)
{
    switch (f.tag) {
    case 'c': {
        // A null string travels as "".
        auto text = static_cast<const char*>(player_message_pointer(&m, f.offset));
        if (text != nullptr)
            out.insert(out.end(), text, text + std::strlen(text));
        out.push_back(0);
        return 0;
    }
    case 'B': return put_block(out, m, f);
    case 'p': return put_property_list(out, m, f);
    default: put_big_endian(out, small_value(m, f), small_size(f.tag)); return 0;
    }
}

// Reads the packed fields back out of the text buffer.
class field_reader {
public:
    field_reader(posted_text_buffer& buffer) : buffer_(buffer) {}

    bool has(size_t n) const { return buffer_.bytes.size() - at_ >= n; }
    bool at_end() const { return at_ == buffer_.bytes.size(); }

    uint32_t get(size_t width)
    {
        uint32_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v = v << 8 | buffer_.bytes[at_++];
        return v;
    }

    int get_field(player_message& m, const wire_field& f)
    {
        switch (f.tag) {
        case 'c': return get_string(m, f);
        case 'B': return get_block(m, f);
        case 'p': return get_property_list(buffer_.bytes, at_, buffer_.properties, m, f);
        default:
            if (!has(small_size(f.tag)))
                return error_invalid_message;
            set_small_value(m, f, get(small_size(f.tag)));
            return 0;
        }
    }

private:
    int get_string(player_message& m, const wire_field& f)
    {
        auto start = buffer_.bytes.begin() + static_cast<std::ptrdiff_t>(at_);
        auto end = std::find(start, buffer_.bytes.end(), uint8_t{0});
        if (end == buffer_.bytes.end())
            return error_invalid_message;
        size_t length = static_cast<size_t>(end - start);
        if (length > longest_posted_string)
            buffer_.bytes[at_ + longest_posted_string] = 0;
        player_message_set_pointer(&m, f.offset, &buffer_.bytes[at_]);
        at_ += length + 1;
        return 0;
    }

    int get_block(player_message& m, const wire_field& f)
    {
        uint64_t size;
        if (length_is_implied(f)) {
            size = uint64_t{player_message_half(&m, f.length_offset)} * player_message_half(&m, f.factor_offset);
        } else {
            if (!has(4))
                return error_invalid_message;
            size = get(4);
        }
        if (!has(size))
            return error_invalid_message;
        if (f.length == block_length::word_at)
            player_message_set_word(&m, f.length_offset, static_cast<uint32_t>(size));
        else if (f.length == block_length::fixed && size != 0 && size != f.fixed_length)
            return error_invalid_message;
        player_message_set_pointer(&m, f.offset, size == 0 ? nullptr : &buffer_.bytes[at_]);
        at_ += size;
        return 0;
    }

    posted_text_buffer& buffer_;
    size_t at_ = 0;
};

} // namespace

int pack_posted(const player_message& m, posted_message& out)
{
    const message_layout* layout = find_message_layout(static_cast<int>(m.code));
    if (layout == nullptr)
        return error_invalid_message;
    out = {};
    out.id = posted_message_base + m.code;
    if (is_pause_or_resume(static_cast<int>(m.code))) {
        out.wparam = player_message_word(&m, 4);
        out.lparam = static_cast<intptr_t>(player_message_word(&m, 8));
        return 0;
    }
    bool fit = small_fields_fit(*layout);
    std::vector<uint8_t> copy;
    try {
        copy.resize(copy_header);
        unsigned shift = 0;
        for (size_t i = 0; i < layout->field_count; ++i) {
            const wire_field& f = layout->fields[i];
            if (fit && is_small(f.tag)) {
                out.wparam |= uintptr_t{small_value(m, f)} << shift;
                shift += 8 * static_cast<unsigned>(small_size(f.tag));
            } else if (int r = put_field(copy, m, f); r < 0) {
                return r;
            }
        }
        if (copy.size() == copy_header)
            return 0;
        if (copy.size() - copy_header > UINT32_MAX)
            return error_invalid_message;
        uint32_t length = static_cast<uint32_t>(copy.size() - copy_header);
        std::memcpy(copy.data(), &length, sizeof length);
        auto heap = new uint8_t[copy.size()];
        std::memcpy(heap, copy.data(), copy.size());
        out.lparam = reinterpret_cast<intptr_t>(heap);
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    return 0;
}

void release_posted(const posted_message& p)
{
    if (p.lparam == 0 || !is_posted_player_message(p.id) ||
        is_pause_or_resume(static_cast<int>(p.id - posted_message_base)))
        return;
    delete[] reinterpret_cast<uint8_t*>(p.lparam);
}

int unpack_posted(const posted_message& p, posted_text_buffer& buffer, player_message& out)
{
    if (!is_posted_player_message(p.id))
        return error_invalid_message;
    int code = static_cast<int>(p.id - posted_message_base);
    const message_layout* layout = find_message_layout(code);
    if (layout == nullptr) {
        release_posted(p);
        return error_invalid_message;
    }
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    if (is_pause_or_resume(code)) {
        player_message_set_word(&m, 4, static_cast<uint32_t>(p.wparam));
        player_message_set_word(&m, 8, static_cast<uint32_t>(p.lparam));
        out = m;
        return 0;
    }
    // Copy the heap block into the text buffer and free it at once, so that
    // every path below owns nothing.
    buffer.bytes.clear();
    if (p.lparam != 0) {
        auto heap = reinterpret_cast<const uint8_t*>(p.lparam);
        uint32_t length;
        std::memcpy(&length, heap, sizeof length);
        try {
            buffer.bytes.assign(heap + copy_header, heap + copy_header + length);
        } catch (const std::bad_alloc&) {
            delete[] heap;
            return error_out_of_memory;
        }
        delete[] heap;
    }
    bool fit = small_fields_fit(*layout);
    field_reader in(buffer);
    unsigned shift = 0;
    for (size_t i = 0; i < layout->field_count; ++i) {
        const wire_field& f = layout->fields[i];
        if (fit && is_small(f.tag)) {
            unsigned width = 8 * static_cast<unsigned>(small_size(f.tag));
            uint64_t mask = (uint64_t{1} << width) - 1;
            set_small_value(m, f, static_cast<uint32_t>((uint64_t{p.wparam} >> shift) & mask));
            shift += width;
        } else if (int r = in.get_field(m, f); r < 0) {
            return r;
        }
    }
    if (!in.at_end())
        return error_invalid_message;
    out = m;
    return 0;
}

} // namespace melvox
