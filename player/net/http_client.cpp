#include "http_client.h"

#include "deadline.h"
#include "melvox.h"
#include "net_reporter.h"
#include "stream_settings.h"
#include "tls.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>

namespace melvox::net {

namespace {

constexpr size_t setting_text_limit = 1023;

// Whether line begins with name (which ends in ':'), in any letter case.
bool header_is(const char* line, std::string_view name)
{
    for (char c : name) {
        if (std::tolower(static_cast<unsigned char>(*line)) != c)
            return false;
        ++line;
    }
    return true;
}

const char* skip_spaces(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    return text;
}

// Version word, blanks, three status characters, then a blank or the end;
// the reason may be missing.
bool parse_status_line(const char* line, char* status)
{
    const char* p = skip_spaces(line);
    if (*p == '\0' || *p == ' ' || *p == '\t')
        return false;
    while (*p != '\0' && *p != ' ' && *p != '\t')
        ++p;
    p = skip_spaces(p);
    for (int i = 0; i < 3; ++i)
        if (p[i] == '\0' || p[i] == ' ' || p[i] == '\t')
            return false;
    if (p[3] != '\0' && p[3] != ' ' && p[3] != '\t')
        return false;
    *status = p[0];
    return true;
}

// The URL that a Location names: absolute, or a reference relative to the
// current URL.
int redirect_target(const url& current, const std::string& location, url* next)
{
    int result = parse_url(resolve_reference(current.text, location).c_str(), next);
    if (result < 0)
        return result;
    if (next->scheme != scheme_http && next->scheme != scheme_icy && next->scheme != scheme_https)
        return error_unsupported_url_scheme;
    return 0;
}

// Reads one reply line within the limit. Lines are read whole up to the
// longest Location; all but Location keep their first http_line_capacity - 1
// characters. *cut tells that the line was longer than what was kept.
int read_reply_line(net_connection& s, char* line, size_t capacity, const deadline& limit, bool* cut)
{
    int result = s.read_line(line, capacity, limit.remaining_ms());
    if (result < 0)
        return result;
    *cut = result == int(capacity);
    if (!header_is(line, "location:") && std::strlen(line) >= http_line_capacity) {
        line[http_line_capacity - 1] = '\0';
        *cut = true;
    }
    return int(std::strlen(line));
}

// Asks the proxy on conn for a tunnel to the target's host and port.
int open_tunnel(net_connection& conn, const url& target, int time_ms, net_reporter& reporter)
{
    std::string place = target.host + ":" + std::to_string(target.port);
    std::string request = "CONNECT " + place + " HTTP/1.0\r\nHost: " + place + "\r\n\r\n";
    int result = conn.send(request.data(), request.size());
    http_reply reply;
    if (result == 0)
        result = read_http_reply(conn, time_ms, false, &reply, nullptr, reporter);
    if (result == 0 && reply.status != '2') {
        reporter.message(0, "proxy refused the tunnel", place.c_str());
        result = error_http;
    }
    return result;
}

// Connects to the server (or the proxy) and, for https, starts TLS with
// the server, in a proxy's tunnel when there is one.
int open_connection(net_connection& conn, const url& target, const http_settings& settings, net_reporter& reporter)
{
    bool proxy = !settings.proxy_host.empty();
    deadline limit(settings.connect_timeout);
    int result = proxy ? connect_stream(settings.proxy_host.c_str(),
                                        uint16_t(settings.proxy_port == 0 ? 80 : settings.proxy_port),
                                        settings.connect_timeout, &conn.stream)
                       : connect_stream(target.host.c_str(), target.port, settings.connect_timeout, &conn.stream);
    if (result < 0) {
        reporter.message(0, "connection failed", error_string(result));
        return result;
    }
    if (target.scheme != scheme_https)
        return 0;
    if (proxy && (result = open_tunnel(conn, target, settings.read_timeout, reporter)) < 0)
        return result;
    return tls_start(conn.stream, target.host, settings.ca_file, limit.remaining_ms(), reporter, &conn.tls);
}

int get(net_connection& out, url target, int32_t* content_length, const http_settings& settings,
        const std::string& custom_header, bool want_icy, http_reply_sink* sink, uint32_t* metadata_interval,
        net_reporter& reporter)
{
    bool proxy = !settings.proxy_host.empty();
    for (int redirects = 0;; ++redirects) {
        std::string where = describe_target(target.host, target.port);
        reporter.message(0, "connecting", where.c_str());
        net_connection conn;
        int result = open_connection(conn, target, settings, reporter);
        if (result < 0)
            return result;
        reporter.message(0, "connected", where.c_str());
        reporter.message(1, "requesting data", target.path.c_str());
        // A tunnel to an https server carries the request as the server's own.
        std::string request = http_request(target, proxy && target.scheme != scheme_https, custom_header);
        result = conn.send(request.data(), request.size());
        http_reply reply;
        if (result == 0)
            result = read_http_reply(conn, settings.read_timeout, want_icy, &reply, sink, reporter);
        if (result < 0)
            return result;
        if (reply.status != '3' || reply.location.empty()) {
            reporter.message(0, "http request successfull", where.c_str());
            out.take_stream(conn);
            *content_length = reply.content_length;
            if (metadata_interval != nullptr)
                *metadata_interval = reply.metadata_interval;
            return 0;
        }
        conn.close();
        reporter.message(1, "http redirect, new location", reply.location.c_str());
        if (redirects == http_redirect_limit) {
            reporter.message(0, "too many http redirects", reply.location.c_str());
            return error_http;
        }
        url next;
        result = redirect_target(target, reply.location, &next);
        if (result < 0)
            return result;
        target = std::move(next);
    }
}

} // namespace

void http_reply_sink::header(const char*) {}
void http_reply_sink::content_type(const char*) {}

http_settings read_http_settings(const environment_reader& environment)
{
    http_settings s;
    char text[setting_text_limit + 1];
    if (environment.get_string("NETWORK.HTTP.PROXY.HOSTNAME", text, sizeof text) == 0)
        s.proxy_host = text;
    if (environment.get_string("NETWORK.HTTP.CUSTOM-HEADER", text, sizeof text) == 0)
        s.custom_header = text;
    s.read_timeout = read_network_read_limit(environment);
    if (environment.get_string("NETWORK.HTTPS.CA-FILE", text, sizeof text) == 0)
        s.ca_file = text;
    int32_t value = 0;
    if (environment.get_integer("NETWORK.HTTP.PROXY.PORT", &value) == 0 && value >= 0 && value <= 65535)
        s.proxy_port = value == 0 ? 80 : value;
    if (environment.get_integer("NETWORK.HTTP.CONNECT-TIMEOUT", &value) == 0 && value > 0)
        s.connect_timeout = value;
    if (environment.get_integer("NETWORK.HTTP.READ-TIMEOUT", &value) == 0 && value > 0)
        s.read_timeout = value;
    return s;
}

std::string http_request(const url& target, bool through_proxy, const std::string& custom_header)
{
    // A proxy is asked for the URL in its http:// form: it knows no icy://.
    std::string path = request_target(target.path);
    if (through_proxy)
        path = "http://" + target.host + (target.port == 80 ? "" : ":" + std::to_string(target.port)) + path;
    std::string request = "GET " + path + " HTTP/1.0\r\n";
    request += "Host: " + target.host + "\r\n";
    request += "User-Agent: Melvox/1.0\r\n";
    request += "Accept: */*\r\n";
    request += custom_header;
    request += "\r\n";
    return request;
}

std::string describe_target(const std::string& host, int port)
{
    if (host.size() > 199)
        return "host " + host.substr(0, 200);
    return "host " + host + ", port " + std::to_string(port);
}

int32_t leading_number(const char* text)
{
    text = skip_spaces(text);
    long long value = 0;
    bool digits = false;
    while (*text >= '0' && *text <= '9') {
        value = value * 10 + (*text++ - '0');
        digits = true;
        if (value > INT32_MAX)
            return 0;
    }
    return digits ? int32_t(value) : 0;
}

int read_http_reply(net_connection& s, int time_ms, bool want_icy, http_reply* reply, http_reply_sink* sink,
                    net_reporter& reporter)
{
    // The status line and all the headers come within one time limit, so a
    // server that drips header lines cannot hold the player for ever.
    deadline limit(time_ms);
    char line[http_long_line_capacity];
    bool cut = false;
    int result = read_reply_line(s, line, sizeof line, limit, &cut);
    if (result < 0)
        return result;
    if (line[0] == '\0') {
        reply->status = 0; // the body follows at once
        return 0;
    }
    reporter.message(1, "got http reply", line);
    char status = 0;
    if (!parse_status_line(line, &status))
        return error_invalid_http_reply;
    reply->status = status;
    switch (status) {
    case '0': return error_invalid_http_reply;
    case '1':
    case '2':
    case '3': break;
    case '4':
    case '5': reporter.message(0, "http request failed", line); return error_http_error_reply;
    default: return error_http;
    }
    for (int count = 0;; ++count) {
        result = read_reply_line(s, line, sizeof line, limit, &cut);
        if (result < 0)
            return result;
        if (line[0] == '\0')
            return 0;
        if (count == http_header_limit) {
            reporter.message(0, "too many http header lines", line);
            return error_invalid_http_reply;
        }
        reporter.message(1, "http header", line);
        if (want_icy && header_is(line, "icy-metaint:")) {
            int32_t interval = leading_number(line + 12);
            reply->metadata_interval = uint32_t(interval);
        }
        if (sink != nullptr)
            sink->header(line);
        if (status == '3' && header_is(line, "location:")) {
            // A cut location names some other resource: never follow it.
            if (cut) {
                reporter.message(0, "http redirect location too long",
                                 ("longer than " + std::to_string(http_location_limit) + " characters").c_str());
                return error_invalid_http_reply;
            }
            reply->location = skip_spaces(line + 9);
        } else if (header_is(line, "content-length:")) {
            reply->content_length = leading_number(line + 15);
        } else if (header_is(line, "content-type:")) {
            if (sink != nullptr)
                sink->content_type(skip_spaces(line + 13));
        }
    }
}

int http_get(net_connection& out, const url& target, int32_t* content_length, const http_settings* settings,
             http_reply_sink* sink, net_reporter& reporter)
{
    http_settings defaults;
    const http_settings& s = settings != nullptr ? *settings : defaults;
    try {
        return get(out, target, content_length, s, s.custom_header, false, sink, nullptr, reporter);
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
}

int icy_get(net_connection& out, const url& target, int32_t* content_length, const http_settings* settings,
            http_reply_sink* sink, uint32_t* metadata_interval, net_reporter& reporter)
{
    http_settings defaults;
    const http_settings& s = settings != nullptr ? *settings : defaults;
    try {
        return get(out, target, content_length, s, "Icy-MetaData:1\r\n" + s.custom_header, true, sink,
                   metadata_interval, reporter);
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
}

} // namespace melvox::net
