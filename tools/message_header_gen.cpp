// Generates player/include/melvox_messages.h from the player library's message
// table (player/messages/message_table.h): the message codes, the
// notification-mask bits, and for every command and notification what it
// carries, with a named accessor per argument and a function that builds the
// message. Refuses a table whose names would collide.
//
// Usage: message-header-gen OUTPUT_FILE
#include "messages/message_layouts.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace melvox;

namespace {

struct type_text {
    const char* c_type;
    const char* reader; // of player_message, as in "player_message_byte"
    const char* cast;   // from what the reader gives to the C type, "" when none
    const char* back;   // from the C type to what the writer takes, "" when none
};

type_text text_of(value_type t)
{
    switch (t) {
    case value_type::u8: return {"uint8_t", "byte", "", ""};
    case value_type::u16: return {"uint16_t", "half", "", ""};
    case value_type::i16: return {"int16_t", "half", "(int16_t)", "(uint16_t)"};
    case value_type::u32: return {"uint32_t", "word", "", ""};
    case value_type::i32: return {"int32_t", "word", "(int32_t)", "(uint32_t)"};
    case value_type::text: return {"const char*", "pointer", "(const char*)", ""};
    case value_type::bytes: return {"const void*", "pointer", "", ""};
    case value_type::i8s: return {"const int8_t*", "pointer", "(const int8_t*)", ""};
    case value_type::list: return {"const player_property*", "pointer", "(const player_property*)", ""};
    }
    return {};
}

std::string place_of(const message_argument& a)
{
    const char* kind = a.type == value_type::u8                                 ? "b"
                       : a.type == value_type::u16 || a.type == value_type::i16 ? "h"
                                                                                : "w";
    return kind + std::to_string(a.offset);
}

std::string str(std::string_view v)
{
    return std::string(v);
}

// What an argument's line says beyond its name, type and place.
std::string note_of(const message_layout& l, const message_argument& a)
{
    if (a.hidden)
        return std::string(l.route == message_route::decoder_unanswered ? "set by player_sync" : "set by the library");
    std::string length = str(a.length);
    switch (a.type) {
    case value_type::text: return "a string";
    case value_type::bytes: return length + " bytes, or null";
    case value_type::i8s:
        if (size_t star = length.find('*'); star != std::string::npos)
            return length.substr(0, star) + " x " + length.substr(star + 1) + " signed bytes";
        return length + " signed bytes, or null";
    case value_type::list: return length + " entries";
    default: return "";
    }
}

std::string route_text(const message_layout& l)
{
    std::string text;
    switch (l.route) {
    case message_route::decoder: text = "caller to decoder side; answered by notify_ack or notify_nack"; break;
    case message_route::decoder_unanswered: text = "caller to decoder side; not answered"; break;
    case message_route::feedback:
        text = "caller to feedback side, passed on by the decoder side; answered by notify_ack or notify_nack";
        break;
    case message_route::between_sides: text = "decoder side to feedback side only"; break;
    case message_route::caller: text = l.mask_bit != 0 ? "to the caller" : "to the caller, whatever the mask"; break;
    case message_route::reserved: break;
    }
    if (l.mask_bit != 0)
        text += std::string("; sent while ") + l.name + "_bit is set";
    return text;
}

// Wraps text into comment lines of at most 100 characters after the prefix.
void put_wrapped(std::ostream& out, const std::string& prefix, const std::string& text)
{
    std::istringstream words(text);
    std::string line, word;
    while (words >> word) {
        if (!line.empty() && line.size() + 1 + word.size() > 100) {
            out << prefix << line << "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        out << prefix << line << "\n";
}

std::string capitalised(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

void put_message(std::ostream& out, int code, const message_layout& l)
{
    std::string name = l.name;
    std::string title = "/* ---- " + name + " (" + std::to_string(code) + ") ";
    out << "\n" << title << std::string(title.size() < 78 ? 78 - title.size() : 4, '-') << "\n";
    put_wrapped(out, " * ", capitalised(route_text(l)));
    put_wrapped(out, " * ", capitalised(l.about));
    size_t name_width = 0, type_width = 0;
    for (size_t i = 0; i < l.described_count; ++i) {
        name_width = std::max(name_width, l.described[i].name.size());
        type_width = std::max(type_width, std::string(text_of(l.described[i].type).c_type).size());
    }
    for (size_t i = 0; i < l.described_count; ++i) {
        const message_argument& a = l.described[i];
        std::string type = text_of(a.type).c_type;
        std::string line = " *   " + str(a.name) + std::string(name_width - a.name.size() + 2, ' ') + type +
                           std::string(type_width - type.size() + 2, ' ') + place_of(a);
        if (std::string note = note_of(l, a); !note.empty())
            line += std::string(5 - place_of(a).size(), ' ') + note;
        out << line << "\n";
    }
    out << " */\n";
    for (size_t i = 0; i < l.described_count; ++i) {
        const message_argument& a = l.described[i];
        type_text t = text_of(a.type);
        std::string read = std::string("player_message_") + t.reader + "(m, " + std::to_string(a.offset) + ")";
        out << "static inline " << t.c_type << " " << name << "_" << a.name << "(const player_message* m) { ";
        if (a.type == value_type::text)
            out << "const char* s = " << t.cast << read << "; return s != NULL ? s : \"\"; }\n";
        else
            out << "return " << t.cast << read << "; }\n";
    }
    std::string parameters, setters;
    for (size_t i = 0; i < l.described_count; ++i) {
        const message_argument& a = l.described[i];
        if (a.hidden)
            continue;
        type_text t = text_of(a.type);
        parameters += (parameters.empty() ? "" : ", ") + std::string(t.c_type) + " " + str(a.name);
        setters += "    player_message_set_" + std::string(t.reader) + "(&m, " + std::to_string(a.offset) + ", " +
                   t.back + str(a.name) + ");\n";
    }
    out << "static inline player_message make_" << name << "(" << (parameters.empty() ? "void" : parameters) << ")";
    if (setters.empty())
        out << " { return make_player_message(" << name << "); }\n";
    else
        out << "\n{\n    player_message m = make_player_message(" << name << ");\n" << setters << "    return m;\n}\n";
}

const char* preamble = R"(/* Melvox messages: the code of every message, the notification-mask bits,
 * and for every command and notification what it carries, with named
 * accessors. Included by melvox.h.
 *
 * Generated by tools/message_header_gen.cpp from the library's message table
 * (player/messages/message_table.h): change the table and build the target
 * message-header, not this file.
 *
 * Each message lists its arguments in call order, the order in which
 * player_send_message takes them, with their type and place in the record:
 * b4 is the byte at documented offset 4, h6 the 16-bit value at 6, w8 the
 * 32-bit value or pointer at 8 (see player_message for where that lies on
 * 64-bit builds). For each argument, <message>_<argument>(m) reads it from a
 * message (a string reads as "" when the message carries none), and
 * make_<message>(...) builds the message from its arguments in call order.
 * Strings and blocks in a received message stay valid until the next message
 * is taken. */
#ifndef MELVOX_MESSAGES_H
#define MELVOX_MESSAGES_H

/* melvox.h includes this file where the record and its accessors are known. */
#include "melvox.h"

)";

int generate(const std::string& path)
{
    std::ostringstream out;
    std::set<std::string> names;
    std::vector<std::string> clashes;
    auto claim = [&](const std::string& name) {
        if (!names.insert(name).second)
            clashes.push_back(name);
    };
    out << preamble;
    out << "enum player_message_code {\n";
    for (int code = 1; code < message_code_limit; ++code)
        if (const message_layout* l = find_message_layout(code); l != nullptr && l->route != message_route::reserved) {
            out << "    " << l->name << " = " << code << ",\n";
            claim(l->name);
        }
    out << "\n    /* Codes from here up are not messages. */\n    player_message_code_limit = " << message_code_limit
        << "\n};\n\n";
    claim("player_message_code_limit");

    out << "/* A notification is sent only while its bit is set in the notification mask;\n"
           " * notifications without a bit are always sent. */\nenum notification_mask_bits {\n";
    std::vector<std::pair<uint32_t, std::string>> bits;
    for (int code = 1; code < message_code_limit; ++code)
        if (const message_layout* l = find_message_layout(code); l != nullptr && l->mask_bit != 0)
            bits.emplace_back(l->mask_bit, l->name);
    std::sort(bits.begin(), bits.end());
    for (size_t i = 0; i < bits.size(); ++i) {
        char value[16];
        std::snprintf(value, sizeof value, "0x%x", bits[i].first);
        out << "    " << bits[i].second << "_bit = " << value << (i + 1 < bits.size() ? ",\n" : "\n");
        claim(bits[i].second + "_bit");
        if (i > 0 && bits[i].first == bits[i - 1].first)
            clashes.push_back(bits[i].second + "_bit shares its bit");
    }
    out << "};\n";

    for (int code = 1; code < message_code_limit; ++code) {
        const message_layout* l = find_message_layout(code);
        if (l == nullptr || l->route == message_route::reserved)
            continue;
        for (size_t i = 0; i < l->described_count; ++i)
            claim(std::string(l->name) + "_" + str(l->described[i].name));
        claim(std::string("make_") + l->name);
        put_message(out, code, *l);
    }
    out << "\n#endif\n";
    if (!clashes.empty()) {
        for (const std::string& name : clashes)
            std::fprintf(stderr, "message-header-gen: the name %s is given twice\n", name.c_str());
        return 1;
    }
    std::ofstream file(path, std::ios::binary);
    file << out.str();
    if (!file) {
        std::fprintf(stderr, "message-header-gen: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: message-header-gen OUTPUT_FILE\n");
        return 2;
    }
    return generate(argv[1]);
}
