// The FTP client for "ftp:" URLs: log in, binary type, a data connection in
// active mode (PORT, the default) or passive mode (PASV), RETR of the path.
#pragma once

#include "connection.h"
#include "environment_reader.h"
#include "url.h"

#include <cstdint>
#include <string>

namespace melvox::net {

class net_reporter;

struct ftp_settings {
    bool passive = false; // "NETWORK.FTP.PASSIVE" = 1
    int32_t connect_timeout = 30000;
    int32_t reply_timeout = 20000; // for each whole reply, and for a stalled transfer ("NETWORK.READ-TIMEOUT")
    int32_t accept_timeout = 20000;
};

ftp_settings read_ftp_settings(const environment_reader& environment);

// Conversation states, advanced by each complete reply.
enum ftp_state {
    ftp_waiting_for_greeting = 0,
    ftp_user_sent = 1,
    ftp_pass_sent = 2,
    ftp_type_sent = 3,
    ftp_port_sent = 4, // or PASV sent
    ftp_retr_sent = 5,
    ftp_receiving = 6,
    ftp_failed = 7
};

inline constexpr size_t ftp_line_capacity = 256;
// Lines of one multi-line reply read before the server is taken as broken.
inline constexpr int ftp_reply_line_limit = 1000;

// Reads one complete reply, all its lines within time_ms: its code and text (lines
// joined by '\n'). Errors: those of read_line; error_ftp for a multi-line
// reply that never ends.
int read_ftp_reply(socket_handle control, int time_ms, std::string* text);

// The content length that a RETR reply announces with "(N bytes)", or
// error_invalid_ftp_reply when it announces none.
int32_t announced_size(const std::string& reply);

// The port of a "227 ... (h1,h2,h3,h4,p1,p2)" reply, or
// error_invalid_ftp_reply.
int passive_port(const std::string& reply);

// What an ftp URL asks the server for, its escapes decoded: the login and
// the file to RETR. The file is relative to the login folder (RFC 1738): the
// path without its leading '/'; an encoded slash first ("/%2Fpub/a.mp3")
// makes it absolute. error_invalid_url_syntax for a path that names no file
// and for names that would carry a line end into a command.
struct ftp_names {
    std::string user, password, file;
};
int ftp_url_names(const url& target, ftp_names* out);

// Runs the conversation on the control connection in conn.control; on
// success conn.stream is the data connection. Errors: those of reading a
// reply and of ftp_url_names, error_ftp when the conversation fails (the
// server's reply is then the detail of an "ftp error" message).
int ftp_converse(net_connection& conn, const url& target, int32_t* content_length, const ftp_settings& settings,
                 net_reporter& reporter);

// Connects and converses: 0 with out holding the data connection (and the
// control connection that closes with it), else a negative code.
int ftp_get(net_connection& out, const url& target, int32_t* content_length, const ftp_settings& settings,
            net_reporter& reporter);

// "udp:": a datagram socket on the URL's port on all local addresses; the
// host is not used and nothing is sent.
int udp_open(net_connection& out, const url& target);

// "tcp:": connects within time_ms and sends "\r\n" once.
inline constexpr int32_t tcp_connect_timeout = 10000;
int tcp_open(net_connection& out, const url& target, int time_ms = tcp_connect_timeout);

} // namespace melvox::net
