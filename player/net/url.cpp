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

constexpr std::array<known_scheme, 6> schemes{{
    {"file:", scheme_file, 0},
    {"http:", scheme_http, 80},
    {"ftp:", scheme_ftp, 21},
    {"udp:", scheme_udp, 8888},
    {"tcp:", scheme_tcp, 23},
    {"icy:", scheme_icy, 80},
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

    size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    u.path = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);

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
    if (u.host.empty())
        return error_invalid_url_syntax;
    if (u.scheme == scheme_ftp) {
        if (u.user.empty())
            u.user = "anonymous";
        if (u.password.empty())
            u.password = default_ftp_password;
    }
    return 0;
}

} // namespace

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
