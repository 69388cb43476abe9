// The HTTP/1.0 client for "http:" and "icy:" URLs: one GET, directly or
// through a proxy, the status and header lines, redirects, and a connection
// left at the first byte of the body.
#pragma once

#include "connection.h"
#include "environment_reader.h"
#include "url.h"

#include <cstdint>
#include <string>

namespace melvox::net {

class net_reporter;

struct http_settings {
    std::string proxy_host; // empty: no proxy
    int32_t proxy_port = 80;
    std::string custom_header; // sent as is after the standard headers
    int32_t connect_timeout = 30000;
    int32_t read_timeout = 20000; // for the whole reply, and for a stalled body
    std::string ca_file;          // trusted for https besides the system's store
};

// Reads "NETWORK.HTTP.PROXY.HOSTNAME", "NETWORK.HTTP.PROXY.PORT" (0: 80),
// "NETWORK.HTTP.CUSTOM-HEADER", "NETWORK.HTTP.CONNECT-TIMEOUT" and
// "NETWORK.HTTP.READ-TIMEOUT" (else "NETWORK.READ-TIMEOUT") and
// "NETWORK.HTTPS.CA-FILE"; strings are cut to 1023 bytes, times that are not
// positive keep their defaults.
http_settings read_http_settings(const environment_reader& environment);

// Told about each header line and the content type.
class http_reply_sink {
public:
    virtual ~http_reply_sink() = default;
    virtual void header(const char* line);
    virtual void content_type(const char* type);
};

// Redirects followed before a request gives up with error_http.
inline constexpr int http_redirect_limit = 10;

// The request bytes for a URL: its path (percent-encoded where a request
// line needs it), and through a proxy the URL in its http:// form with that
// path; the user information and the fragment are never sent.
std::string http_request(const url& target, bool through_proxy, const std::string& custom_header);

// What a reply said.
struct http_reply {
    char status = 0;      // first status character; 0 for a headerless reply
    std::string location; // of a '3' reply
    int32_t content_length = 0;
    uint32_t metadata_interval = 0; // "icy-metaint", when asked for
};

// Reads the status line and the header lines (all within time_ms, at
// most http_header_limit of them). Errors: error_invalid_http_reply,
// error_http_error_reply ('4' and '5'), error_http, and those of read_line.
int read_http_reply(net_connection& s, int time_ms, bool want_icy, http_reply* reply, http_reply_sink* sink,
                    net_reporter& reporter);
inline constexpr int http_header_limit = 256;
inline constexpr size_t http_line_capacity = 128;
// A Location may be this long (a longer one is error_invalid_http_reply);
// other header lines are cut to http_line_capacity - 1 characters.
inline constexpr size_t http_location_limit = 4096;
inline constexpr size_t http_long_line_capacity = http_location_limit + sizeof "Location: ";

// Sends the request and reads the reply, following redirects (a Location is
// resolved as a reference relative to the URL that was asked for; http and
// https lead to each other). https runs over TLS, through a proxy in a
// CONNECT tunnel. 0 with out holding the
// connection at the start of the body; else a negative code, nothing open.
int http_get(net_connection& out, const url& target, int32_t* content_length, const http_settings* settings,
             http_reply_sink* sink, net_reporter& reporter);

// As http_get, asking for in-stream metadata ("Icy-MetaData:1"); gives its
// interval (0 when the server sends none).
int icy_get(net_connection& out, const url& target, int32_t* content_length, const http_settings* settings,
            http_reply_sink* sink, uint32_t* metadata_interval, net_reporter& reporter);

// "host %s, port %d", the host cut to 200 characters when longer than 199.
std::string describe_target(const std::string& host, int port);

// The leading decimal number of text after spaces; 0 when there is none or
// it does not fit 31 bits.
int32_t leading_number(const char* text);

} // namespace melvox::net
