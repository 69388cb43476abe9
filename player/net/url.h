// Input names that are URLs: scheme, user information, host, port and path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace melvox::net {

enum url_scheme {
    scheme_none = 0,
    scheme_file = 1,
    scheme_http = 2,
    scheme_ftp = 3,
    scheme_udp = 4,
    scheme_tcp = 5,
    scheme_icy = 6,
    scheme_https = 7
};

struct url {
    std::string text; // the whole name as given
    int scheme = scheme_none;
    std::string user;
    std::string password;
    std::string host;
    uint16_t port = 0;
    std::string path; // from the first '/' or '?' after the host, with a '/' first; "/" when none; no fragment
};

// Password that an ftp URL without one logs in with.
inline constexpr const char* default_ftp_password = "melvox@localhost";

// Parses an input name. A name without ':' or whose first ':' is its first or
// second character (a drive letter) is a file path. Errors:
// error_unsupported_url_scheme, error_invalid_url_syntax, error_out_of_memory;
// *out is written only on success.
int parse_url(const char* name, url* out);

// Text with its %XX escapes decoded (a '%' without two hex digits stays as
// it is). error_invalid_url_syntax when it would hold a line end or a NUL,
// which would end or split a command line.
int percent_decode(std::string_view text, std::string* out);

// A path as a request line may carry it: blanks, control characters,
// bytes beyond ASCII and the characters that URLs never hold as they are
// ("<>\"\\^`{|}") are percent-encoded; what is already encoded stays.
std::string request_target(std::string_view path);

// The absolute URL that a reference (such as a Location header's "a.mp3",
// "../b/", "//host:8000/x" or "?q") names from base, by RFC 3986 section
// 5.2; a fragment is dropped.
std::string resolve_reference(const std::string& base, const std::string& reference);

} // namespace melvox::net
