#include "url.h"

#include "melvox.h"

#include <array>
#include <new>
#include <string_view>

namespace melvox::net {

namespace {

struct known_scheme {
    std::string_view name; // with its ':'
    int scheme;
    uint16_t port;
};

constexpr std::array<known_scheme, 7> schemes{{
    {"file:", scheme_file, 0},
    {"http:", scheme_http, 80},
    {"ftp:", scheme_ftp, 21},
    {"udp:", scheme_udp, 8888},
    {"tcp:", scheme_tcp, 23},
    {"icy:", scheme_icy, 80},
    {"https:", scheme_https, 443},
}};

bool same_letters(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// A port is 1..65535 in decimal digits only.
bool parse_port(std::string_view text, uint16_t* out)
{
    if (text.empty() || text.size() > 5)
        return false;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + uint32_t(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    *out = uint16_t(value);
    return true;
}

// A host name or address never holds blanks or control characters: they
// would end the request lines that carry it.
bool plain_host(std::string_view host)
{
    for (unsigned char c : host)
        if (c <= ' ' || c == 0x7f)
            return false;
    return true;
}

int parse(std::string_view name, url& u)
{
    u.text = name;
    size_t colon = name.find(':');
    if (colon == std::string_view::npos || colon < 2) {
        u.scheme = scheme_file;
        u.path = name;
        return 0;
    }
    std::string_view prefix = name.substr(0, colon + 1);
    const known_scheme* found = nullptr;
    for (const auto& s : schemes)
        if (same_letters(prefix, s.name))
            found = &s;
    if (!found)
        return error_unsupported_url_scheme;
    u.scheme = found->scheme;
    u.port = found->port;

    std::string_view rest = name.substr(colon + 1);
    if (u.scheme == scheme_file) {
        if (rest.starts_with("//"))
            rest.remove_prefix(2);
        u.path = rest;
        return 0;
    }
    if (!rest.starts_with("//"))
        return error_invalid_url_syntax;
    rest.remove_prefix(2);

    // The host part ends where the path, the query or the fragment begins;
    // the fragment is the reader's own and never goes to the server.
    rest = rest.substr(0, rest.find('#'));
    size_t end = rest.find_first_of("/?");
    std::string_view authority = rest.substr(0, end);
    std::string_view path = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    u.path = path.starts_with("/") ? std::string(path) : "/" + std::string(path);

    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view info = authority.substr(0, at);
        size_t split = info.find(':');
        u.user = info.substr(0, split);
        if (split != std::string_view::npos)
            u.password = info.substr(split + 1);
        authority.remove_prefix(at + 1);
    }
    size_t port_colon = authority.find(':');
    u.host = authority.substr(0, port_colon);
    if (port_colon != std::string_view::npos && !parse_port(authority.substr(port_colon + 1), &u.port))
        return error_invalid_url_syntax;
    if (u.host.empty() || !plain_host(u.host))
        return error_invalid_url_syntax;
    if (u.scheme == scheme_ftp) {
        if (u.user.empty())
            u.user = "anonymous";
        if (u.password.empty())
            u.password = default_ftp_password;
    }
    return 0;
}

// The parts of a URI reference (RFC 3986, appendix B); the fragment is
// dropped.
struct reference_parts {
    bool has_scheme = false, has_authority = false, has_query = false;
    std::string_view scheme, authority, path, query;
};

reference_parts split_reference(std::string_view text)
{
    reference_parts r;
    text = text.substr(0, text.find('#'));
    size_t colon = text.find_first_of(":/?");
    if (colon != std::string_view::npos && colon > 0 && text[colon] == ':') {
        r.has_scheme = true;
        r.scheme = text.substr(0, colon);
        text.remove_prefix(colon + 1);
    }
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        size_t end = text.find_first_of("/?");
        r.has_authority = true;
        r.authority = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    }
    size_t question = text.find('?');
    r.path = text.substr(0, question);
    if (question != std::string_view::npos) {
        r.has_query = true;
        r.query = text.substr(question + 1);
    }
    return r;
}

// RFC 3986 section 5.2.4: "." and ".." segments taken out of a path.
std::string remove_dot_segments(std::string_view in)
{
    std::string out;
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./")) {
            in.remove_prefix(2);
        } else if (in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../") || in == "/..") {
            in = in.size() == 3 ? std::string_view("/") : in.substr(3);
            size_t last = out.rfind('/');
            out.resize(last == std::string::npos ? 0 : last);
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            size_t next = in.find('/', 1);
            out += in.substr(0, next);
            in.remove_prefix(next == std::string_view::npos ? in.size() : next);
        }
    }
    return out;
}

} // namespace

std::string resolve_reference(const std::string& base, const std::string& reference)
{
    reference_parts b = split_reference(base), r = split_reference(reference);
    std::string path;
    std::string_view authority = b.authority, query = r.query;
    bool has_authority = b.has_authority, has_query = r.has_query;
    std::string_view scheme = r.has_scheme ? r.scheme : b.scheme;
    if (r.has_scheme || r.has_authority) {
        authority = r.authority;
        has_authority = r.has_authority;
        path = remove_dot_segments(r.path);
    } else if (r.path.empty()) {
        path = b.path;
        if (!r.has_query) {
            query = b.query;
            has_query = b.has_query;
        }
    } else if (r.path.starts_with("/")) {
        path = remove_dot_segments(r.path);
    } else {
        std::string merged = b.has_authority && b.path.empty()
                                 ? "/" + std::string(r.path)
                                 : std::string(b.path.substr(0, b.path.rfind('/') + 1)) + std::string(r.path);
        path = remove_dot_segments(merged);
    }
    std::string out = std::string(scheme) + ":";
    if (has_authority)
        out += "//" + std::string(authority);
    out += path;
    if (has_query)
        out += "?" + std::string(query);
    return out;
}

int percent_decode(std::string_view text, std::string* out)
{
    auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size() && digit(text[i + 1]) >= 0 && digit(text[i + 2]) >= 0) {
            c = char(digit(text[i + 1]) * 16 + digit(text[i + 2]));
            i += 2;
        }
        if (c == '\r' || c == '\n' || c == '\0')
            return error_invalid_url_syntax;
        decoded += c;
    }
    *out = std::move(decoded);
    return 0;
}

std::string request_target(std::string_view path)
{
    static constexpr std::string_view unsafe = "\"<>\\^`{|}";
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 0x7f || unsafe.find(c) != std::string_view::npos) {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int parse_url(const char* name, url* out)
{
    if (name == nullptr || out == nullptr)
        return error_invalid_parameters;
    try {
        url u;
        int result = parse(name, u);
        if (result == 0)
            *out = std::move(u);
        return result;
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
}

} // namespace melvox::net
