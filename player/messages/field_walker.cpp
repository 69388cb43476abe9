#include "messages/field_walker.h"

#include <algorithm>
#include <cstring>

namespace melvox {
namespace {

size_t small_width(char tag)
{
    return tag == 'b' ? 1 : tag == 's' ? 2 : 4;
}

bool is_small(char tag)
{
    return tag == 'b' || tag == 's' || tag == 'l';
}

void put_big_endian(std::vector<uint8_t>& out, uint32_t v, size_t width)
{
    for (size_t i = width; i-- > 0;)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
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

uint64_t product_of_halves(const player_message& m, const wire_field& f)
{
    return uint64_t{player_message_half(&m, f.length_offset)} * player_message_half(&m, f.factor_offset);
}

// Whether a block's length is left out because the counts before it give it.
bool length_is_implied(const field_form& form, const wire_field& f)
{
    return form.implied_lengths && f.length == block_length::product_halves;
}

// A string: its text cut to longest_string, then its NUL; counted strings
// start with their length.
void put_string(std::vector<uint8_t>& out, const char* s, bool counted)
{
    size_t length = s == nullptr ? 0 : strnlen(s, longest_string);
    if (counted)
        put_big_endian(out, static_cast<uint32_t>(length + 1), 2);
    if (length > 0)
        out.insert(out.end(), s, s + length);
    out.push_back(0);
}

// A property list: a 4-byte count, then per entry its type byte, its name and
// its string or 4-byte integer value, strings counted.
int put_property_list(std::vector<uint8_t>& out, const player_message& m, const wire_field& f)
{
    auto count = static_cast<int32_t>(player_message_word(&m, f.length_offset));
    auto entries = static_cast<const player_property*>(player_message_pointer(&m, f.offset));
    if (count < 0 || (count > 0 && entries == nullptr))
        return error_invalid_message;
    put_big_endian(out, static_cast<uint32_t>(count), 4);
    for (int32_t i = 0; i < count; ++i) {
        const player_property& p = entries[i];
        if (p.type != player_value_integer && p.type != player_value_string)
            return error_invalid_message;
        out.push_back(static_cast<uint8_t>(p.type));
        put_string(out, p.name, true);
        if (p.type == player_value_integer)
            put_big_endian(out, static_cast<uint32_t>(p.value.integer), 4);
        else
            put_string(out, p.value.string, true);
        // Stop reading entries as soon as the list cannot be sent anyway.
        if (out.size() > receive_queue_size)
            return error_circular_queue_full;
    }
    return 0;
}

int put_block(std::vector<uint8_t>& out, const player_message& m, const wire_field& f, const field_form& form)
{
    uint64_t size = block_bytes(m, f);
    if (out.size() + 4 + size > form.most_bytes)
        return form.too_long;
    if (!length_is_implied(form, f))
        put_big_endian(out, static_cast<uint32_t>(size), 4);
    else if (size != product_of_halves(m, f))
        return error_invalid_message; // counts without their data
    if (size > 0) {
        auto data = static_cast<const uint8_t*>(player_message_pointer(&m, f.offset));
        out.insert(out.end(), data, data + size);
    }
    return 0;
}

// Reads fields, refusing anything that runs past the end.
class field_reader {
public:
    field_reader(std::vector<uint8_t>& bytes, size_t at) : bytes_(bytes), at_(at) {}

    bool has(uint64_t n) const { return bytes_.size() - at_ >= n; }
    bool at_end() const { return at_ == bytes_.size(); }

    uint32_t get(size_t width)
    {
        uint32_t v = 0;
        for (size_t i = 0; i < width; ++i)
            v = v << 8 | bytes_[at_++];
        return v;
    }

    const uint8_t* get_bytes(size_t n)
    {
        const uint8_t* p = &bytes_[at_];
        at_ += n;
        return p;
    }

    // A string as put_string wrote it; null when malformed. Strings longer
    // than longest_string are cut.
    const char* get_string(bool counted)
    {
        size_t length; // with the NUL
        if (counted) {
            if (!has(2))
                return nullptr;
            length = get(2);
            if (length == 0 || !has(length) || bytes_[at_ + length - 1] != 0)
                return nullptr;
        } else {
            auto start = bytes_.begin() + static_cast<std::ptrdiff_t>(at_);
            auto end = std::find(start, bytes_.end(), uint8_t{0});
            if (end == bytes_.end())
                return nullptr;
            length = static_cast<size_t>(end - start) + 1;
        }
        auto text = reinterpret_cast<char*>(&bytes_[at_]);
        if (length - 1 > longest_string)
            text[longest_string] = '\0';
        at_ += length;
        return text;
    }

private:
    std::vector<uint8_t>& bytes_;
    size_t at_;
};

int get_property_list(field_reader& in, std::vector<player_property>& storage, player_message& out, const wire_field& f)
{
    if (!in.has(4))
        return error_invalid_message;
    uint32_t count = in.get(4);
    // Every entry takes at least 7 bytes, so a count beyond that is a lie.
    if (count > receive_queue_size / 7)
        return error_invalid_message;
    storage.clear();
    storage.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        if (!in.has(1))
            return error_invalid_message;
        player_property p{};
        p.type = in.get(1);
        p.name = in.get_string(true);
        if (p.name == nullptr)
            return error_invalid_message;
        if (p.type == player_value_integer) {
            if (!in.has(4))
                return error_invalid_message;
            p.value.integer = static_cast<int32_t>(in.get(4));
        } else if (p.type == player_value_string) {
            p.value.string = in.get_string(true);
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

int get_block(field_reader& in, player_message& out, const wire_field& f, const field_form& form)
{
    bool implied = length_is_implied(form, f);
    uint64_t length;
    if (implied) {
        // The counts come before the block.
        length = product_of_halves(out, f);
    } else {
        if (!in.has(4))
            return error_invalid_message;
        length = in.get(4);
    }
    if (!in.has(length))
        return error_invalid_message;
    switch (f.length) {
    case block_length::word_at: player_message_set_word(&out, f.length_offset, static_cast<uint32_t>(length)); break;
    case block_length::fixed:
        if (length != 0 && length != f.fixed_length)
            return error_invalid_message;
        break;
    case block_length::product_halves:
        if (!implied && length != 0 && length != product_of_halves(out, f))
            return error_invalid_message;
        break;
    case block_length::none: return error_invalid_message;
    }
    const uint8_t* data = in.get_bytes(static_cast<size_t>(length));
    player_message_set_pointer(&out, f.offset, length == 0 ? nullptr : data);
    return 0;
}

} // namespace

uint64_t block_bytes(const player_message& m, const wire_field& f)
{
    if (player_message_pointer(&m, f.offset) == nullptr)
        return 0;
    switch (f.length) {
    case block_length::word_at: return player_message_word(&m, f.length_offset);
    case block_length::fixed: return f.fixed_length;
    case block_length::product_halves: return product_of_halves(m, f);
    case block_length::none: break;
    }
    return 0;
}

namespace {

// The one walk through a message's fields: small fields into or out of the
// word when there is one, the rest after their tag when the form has tags.
// A side (writer or reader) does what each kind of field needs.
template <typename Side>
int walk_fields(const message_layout& layout, const field_form& form, bool small_in_word, Side& side)
{
    unsigned shift = 0;
    for (size_t i = 0; i < layout.field_count; ++i) {
        const wire_field& f = layout.fields[i];
        if (small_in_word && is_small(f.tag)) {
            unsigned width = 8 * static_cast<unsigned>(small_width(f.tag));
            side.in_word(f, shift, width);
            shift += width;
            continue;
        }
        int r = form.tagged ? side.tag(f) : 0;
        if (r == 0) {
            switch (f.tag) {
            case 'c': r = side.string(f); break;
            case 'B': r = side.block(f); break;
            case 'p': r = side.list(f); break;
            default: r = side.number(f); break;
            }
        }
        if (r < 0)
            return r;
    }
    return 0;
}

struct field_writer {
    const player_message& m;
    const field_form& form;
    std::vector<uint8_t>& out;
    uint32_t* word;

    void in_word(const wire_field& f, unsigned shift, unsigned) { *word |= small_value(m, f) << shift; }
    int tag(const wire_field& f)
    {
        out.push_back(static_cast<uint8_t>(f.tag));
        return 0;
    }
    int string(const wire_field& f)
    {
        put_string(out, static_cast<const char*>(player_message_pointer(&m, f.offset)), form.counted_strings);
        return 0;
    }
    int block(const wire_field& f) { return put_block(out, m, f, form); }
    int list(const wire_field& f) { return put_property_list(out, m, f); }
    int number(const wire_field& f)
    {
        put_big_endian(out, small_value(m, f), small_width(f.tag));
        return 0;
    }
};

struct field_taker {
    field_reader& in;
    player_message& m;
    const field_form& form;
    std::vector<player_property>& properties;
    const uint32_t* word;

    void in_word(const wire_field& f, unsigned shift, unsigned width)
    {
        uint64_t mask = (uint64_t{1} << width) - 1;
        set_small_value(m, f, static_cast<uint32_t>((uint64_t{*word} >> shift) & mask));
    }
    int tag(const wire_field& f)
    {
        return in.has(1) && in.get(1) == static_cast<uint8_t>(f.tag) ? 0 : error_invalid_message;
    }
    int string(const wire_field& f)
    {
        const char* text = in.get_string(form.counted_strings);
        if (text == nullptr)
            return error_invalid_message;
        player_message_set_pointer(&m, f.offset, text);
        return 0;
    }
    int block(const wire_field& f) { return get_block(in, m, f, form); }
    int list(const wire_field& f) { return get_property_list(in, properties, m, f); }
    int number(const wire_field& f)
    {
        if (!in.has(small_width(f.tag)))
            return error_invalid_message;
        set_small_value(m, f, in.get(small_width(f.tag)));
        return 0;
    }
};

} // namespace

int put_fields(const player_message& m, const message_layout& layout, const field_form& form, std::vector<uint8_t>& out,
               uint32_t* small_word)
{
    field_writer writer{m, form, out, small_word};
    if (int r = walk_fields(layout, form, small_word != nullptr, writer); r < 0)
        return r;
    return out.size() > form.most_bytes ? form.too_long : 0;
}

int get_fields(std::vector<uint8_t>& bytes, size_t at, const message_layout& layout, const field_form& form,
               std::vector<player_property>& properties, player_message& m, const uint32_t* small_word)
{
    field_reader in(bytes, at);
    field_taker taker{in, m, form, properties, small_word};
    if (int r = walk_fields(layout, form, small_word != nullptr, taker); r < 0)
        return r;
    return in.at_end() ? 0 : error_invalid_message;
}

} // namespace melvox
