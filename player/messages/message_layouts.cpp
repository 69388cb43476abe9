#include "messages/message_layouts.h"

#include <array>
#include <stdexcept>

namespace melvox {
namespace {

// A row that does not read stops the build here, at compile time.
[[noreturn]] void malformed(const char* why)
{
    throw std::logic_error(why);
}

// A tiny reader of the row notation.
struct notation {
    std::string_view text;

    constexpr void skip_spaces()
    {
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
    }
    constexpr bool done()
    {
        skip_spaces();
        return text.empty();
    }
    constexpr bool take(char c)
    {
        skip_spaces();
        if (text.empty() || text.front() != c)
            return false;
        text.remove_prefix(1);
        return true;
    }
    constexpr std::string_view word()
    {
        skip_spaces();
        size_t n = 0;
        while (n < text.size() &&
               (text[n] == '_' || (text[n] >= 'a' && text[n] <= 'z') || (text[n] >= '0' && text[n] <= '9')))
            ++n;
        if (n == 0)
            malformed("a name is missing");
        std::string_view w = text.substr(0, n);
        text.remove_prefix(n);
        return w;
    }
    constexpr std::string_view digits()
    {
        size_t n = 0;
        while (n < text.size() && text[n] >= '0' && text[n] <= '9')
            ++n;
        std::string_view d = text.substr(0, n);
        text.remove_prefix(n);
        return d;
    }
    constexpr std::string_view until(char c)
    {
        size_t n = text.find(c);
        if (n == std::string_view::npos)
            malformed("a bracket is not closed");
        std::string_view w = text.substr(0, n);
        text.remove_prefix(n + 1);
        return w;
    }
};

constexpr int number_of(std::string_view digits)
{
    if (digits.empty())
        malformed("a number is missing");
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            malformed("not a number");
        n = n * 10 + (c - '0');
    }
    return n;
}

constexpr value_type type_named(std::string_view name)
{
    constexpr std::pair<std::string_view, value_type> types[] = {
        {"u8", value_type::u8},       {"u16", value_type::u16}, {"i16", value_type::i16},
        {"u32", value_type::u32},     {"i32", value_type::i32}, {"text", value_type::text},
        {"bytes", value_type::bytes}, {"i8s", value_type::i8s}, {"list", value_type::list},
    };
    for (const auto& [n, t] : types)
        if (n == name)
            return t;
    malformed("unknown argument type");
}

constexpr unsigned width_of(value_type t)
{
    switch (t) {
    case value_type::u8: return 1;
    case value_type::u16:
    case value_type::i16: return 2;
    default: return 4;
    }
}

constexpr bool has_length(value_type t)
{
    return t == value_type::bytes || t == value_type::i8s || t == value_type::list;
}

constexpr const message_argument& argument_named(const message_layout& l, std::string_view name, value_type type)
{
    for (size_t i = 0; i < l.described_count; ++i)
        if (l.described[i].name == name) {
            if (l.described[i].type != type)
                malformed("a length names an argument of the wrong type");
            return l.described[i];
        }
    malformed("a length names no argument");
}

// Whether the argument is the whole length of a block or list, which then
// carries it on byte transports.
constexpr bool is_carried_length(const message_layout& l, const message_argument& a)
{
    for (size_t i = 0; i < l.described_count; ++i)
        if (has_length(l.described[i].type) && l.described[i].length == a.name)
            return true;
    return false;
}

constexpr wire_field field_of(const message_layout& l, const message_argument& a)
{
    wire_field f{};
    f.offset = a.offset;
    switch (a.type) {
    case value_type::u8: f.tag = 'b'; break;
    case value_type::u16:
    case value_type::i16: f.tag = 's'; break;
    case value_type::u32:
    case value_type::i32: f.tag = 'l'; break;
    case value_type::text: f.tag = 'c'; break;
    case value_type::bytes:
    case value_type::i8s:
    case value_type::list: f.tag = a.type == value_type::list ? 'p' : 'B'; break;
    }
    if (!has_length(a.type))
        return f;
    if (size_t star = a.length.find('*'); star != std::string_view::npos) {
        if (a.type == value_type::list)
            malformed("a list is counted by one argument");
        f.length = block_length::product_halves;
        f.length_offset = argument_named(l, a.length.substr(0, star), value_type::u16).offset;
        f.factor_offset = argument_named(l, a.length.substr(star + 1), value_type::u16).offset;
    } else if (a.length.front() >= '0' && a.length.front() <= '9') {
        if (a.type == value_type::list)
            malformed("a list is counted by an argument");
        f.length = block_length::fixed;
        f.fixed_length = static_cast<uint16_t>(number_of(a.length));
    } else {
        f.length = block_length::word_at;
        f.length_offset = argument_named(l, a.length, value_type::u32).offset;
    }
    return f;
}

constexpr argument_kind kind_of(value_type t)
{
    switch (t) {
    case value_type::u8: return argument_kind::byte;
    case value_type::u16:
    case value_type::i16: return argument_kind::half;
    case value_type::u32:
    case value_type::i32: return argument_kind::word;
    default: return argument_kind::pointer;
    }
}

constexpr message_layout parse(const message_row& row)
{
    message_layout l{};
    l.name = row.name;
    l.route = row.route;
    l.mask_bit = row.mask_bit;
    l.about = row.about;
    l.words_in_params = row.words_in_params;
    unsigned taken = 0; // the bytes of the argument area in use, one bit each
    notation in{row.arguments};
    while (!in.done()) {
        if (l.described_count == most_arguments)
            malformed("too many arguments");
        message_argument a{};
        std::string_view first = in.word();
        a.hidden = first == "hidden";
        a.type = type_named(a.hidden ? in.word() : first);
        a.name = in.word();
        if (!in.take('@'))
            malformed("an argument has no place");
        a.offset = static_cast<uint8_t>(number_of(in.digits()));
        if (has_length(a.type) != in.take('['))
            malformed("only blocks and lists have a length");
        if (has_length(a.type))
            a.length = in.until(']');
        unsigned width = width_of(a.type);
        if (a.offset < 4 || a.offset + width > 24 || a.offset % width != 0)
            malformed("an argument lies outside the argument area or out of line");
        unsigned bytes = ((1u << width) - 1) << a.offset;
        if (taken & bytes)
            malformed("two arguments share a place");
        taken |= bytes;
        for (size_t i = 0; i < l.described_count; ++i)
            if (l.described[i].name == a.name)
                malformed("two arguments share a name");
        l.described[l.described_count++] = a;
        if (!in.done() && !in.take(','))
            malformed("arguments are separated by commas");
    }
    for (size_t i = 0; i < l.described_count; ++i) {
        const message_argument& a = l.described[i];
        if (!a.hidden)
            l.arguments[l.argument_count++] = {kind_of(a.type), a.offset};
        if (!is_carried_length(l, a))
            l.fields[l.field_count++] = field_of(l, a);
    }
    if (l.words_in_params && (l.field_count != 2 || l.fields[0].tag != 'l' || l.fields[1].tag != 'l'))
        malformed("only two words can travel as wParam and lParam");
    return l;
}

constexpr std::array<message_layout, message_code_limit> build_layouts()
{
    std::array<message_layout, message_code_limit> layouts{};
    for (const message_row& row : message_rows::rows) {
        if (row.code <= 0 || row.code >= message_code_limit)
            malformed("a code outside 1..159");
        if (layouts[row.code].name != nullptr)
            malformed("a code has two rows");
        if (row.mask_bit != 0 && row.route != message_route::caller && row.route != message_route::between_sides)
            malformed("only notifications and events have a mask bit");
        layouts[row.code] = parse(row);
    }
    return layouts;
}

constexpr auto layouts = build_layouts();

} // namespace

const message_layout* find_message_layout(int code)
{
    if (code <= 0 || code >= message_code_limit)
        return nullptr;
    const message_layout& layout = layouts[code];
    return layout.name == nullptr ? nullptr : &layout;
}

message_route route_of(int code)
{
    const message_layout* layout = find_message_layout(code);
    return layout == nullptr ? message_route::reserved : layout->route;
}

} // namespace melvox
