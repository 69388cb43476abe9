#include "ftp_client.h"

#include "deadline.h"
#include "http_client.h"
#include "melvox.h"
#include "net_reporter.h"
#include "stream_settings.h"

#include <climits>
#include <new>

namespace melvox::net {

namespace {

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads up to 'count' comma-separated numbers 0..255 from text.
bool comma_numbers(const char* text, int count, int* out)
{
    for (int i = 0; i < count; ++i) {
        if (i > 0 && *text++ != ',')
            return false;
        int value = 0, digits = 0;
        while (is_digit(*text) && digits < 4) {
            value = value * 10 + (*text++ - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        out[i] = value;
    }
    return true;
}

class conversation {
public:
    conversation(net_connection& conn, const ftp_names& names, const ftp_settings& settings, net_reporter& reporter)
        : conn_(conn), names_(names), settings_(settings), reporter_(reporter)
    {
    }

    // The next state after a complete reply.
    int advance(int state, const std::string& reply, int32_t* content_length)
    {
        char digit = reply.empty() ? '\0' : reply[0];
        if (digit != '1' && digit != '2' && digit != '3') {
            reporter_.message(2, "errror code returned", reply.substr(0, 3).c_str());
            refused(reply);
            return ftp_failed;
        }
        if (state == ftp_waiting_for_greeting && digit == '2') {
            reporter_.message(1, "logging in as", names_.user.c_str());
            return send("USER " + names_.user + "\r\n") ? ftp_user_sent : ftp_failed;
        }
        if (state == ftp_user_sent && digit == '3') {
            if (!send("PASS " + names_.password + "\r\n"))
                return ftp_failed;
            reporter_.message(2, "sending PASS", names_.password.c_str());
            return ftp_pass_sent;
        }
        if (state == ftp_pass_sent && digit == '2')
            return send("TYPE I\r\n") ? ftp_type_sent : ftp_failed;
        if (state == ftp_type_sent && digit == '2')
            return settings_.passive ? request_passive() : offer_port();
        if (state == ftp_port_sent && digit == '2') {
            if (settings_.passive && !connect_passive(reply))
                return ftp_failed;
            if (!send("RETR " + names_.file + "\r\n"))
                return ftp_failed;
            reporter_.message(2, "sending RETR", names_.file.c_str());
            return ftp_retr_sent;
        }
        if (state == ftp_retr_sent && digit == '1') {
            int32_t size = announced_size(reply);
            if (size >= 0)
                *content_length = size;
            return settings_.passive ? ftp_receiving : accept_data();
        }
        reporter_.message(2, "unexpected reply", reply.c_str());
        refused(reply);
        return ftp_failed;
    }

private:
    // The server's own words are what tells the user why (a "550 No such
    // file"), so they are the failure's detail, on one line.
    void refused(std::string reply)
    {
        for (char& c : reply)
            if (c == '\n')
                c = ' ';
        reporter_.message(0, "ftp error", reply.c_str());
    }

    bool send(const std::string& text) { return send_all(conn_.control, text.data(), text.size()) == 0; }

    int offer_port()
    {
        uint16_t port = 0;
        ipv4_address address = 0;
        if (listen_stream(0, &port, &conn_.listener) < 0 || local_address(conn_.control, &address) < 0)
            return ftp_failed;
        std::string command = "PORT " + std::to_string(address >> 24) + "," + std::to_string(address >> 16 & 0xff) +
                              "," + std::to_string(address >> 8 & 0xff) + "," + std::to_string(address & 0xff) + "," +
                              std::to_string(port >> 8) + "," + std::to_string(port & 0xff) + "\r\n";
        if (!send(command))
            return ftp_failed;
        reporter_.message(2, "sending PORT", std::to_string(port).c_str());
        return ftp_port_sent;
    }

    int request_passive()
    {
        if (!send("PASV\r\n"))
            return ftp_failed;
        reporter_.message(2, "sending PASV", "");
        return ftp_port_sent;
    }

    // The data connection goes to the server that the control connection
    // reaches, whatever address the reply names: a server cannot aim it
    // elsewhere, and servers behind address translation name addresses that
    // cannot be reached.
    bool connect_passive(const std::string& reply)
    {
        int port = passive_port(reply);
        ipv4_address address = 0;
        if (port <= 0 || peer_address(conn_.control, &address) < 0) {
            reporter_.message(1, "invalid PASV reply", reply.c_str());
            return false;
        }
        reporter_.message(1, "connecting data socket", std::to_string(port).c_str());
        int result = connect_stream(address, uint16_t(port), settings_.connect_timeout, &conn_.stream);
        if (result < 0) {
            reporter_.message(1, "cannot connect data socket", error_string(result));
            return false;
        }
        reporter_.message(1, "got connection on data socket", "");
        return true;
    }

    int accept_data()
    {
        reporter_.message(1, "accepting data socket", "");
        int result = accept_stream(conn_.listener, settings_.accept_timeout, &conn_.stream);
        close_socket(conn_.listener);
        conn_.listener = no_socket;
        if (result < 0) {
            reporter_.message(1, "cannot accept data socket", error_string(result));
            return ftp_failed;
        }
        reporter_.message(1, "got connection on data socket", "");
        return ftp_receiving;
    }

    net_connection& conn_;
    const ftp_names& names_;
    const ftp_settings& settings_;
    net_reporter& reporter_;
};

} // namespace

ftp_settings read_ftp_settings(const environment_reader& environment)
{
    ftp_settings s;
    s.reply_timeout = read_network_read_limit(environment);
    int32_t passive = 0;
    s.passive = environment.get_integer("NETWORK.FTP.PASSIVE", &passive) == 0 && passive == 1;
    return s;
}

int read_ftp_reply(socket_handle control, int time_ms, std::string* text)
{
    // All the lines of one reply come within one time limit.
    deadline limit(time_ms);
    char line[ftp_line_capacity];
    int result = read_line(control, line, sizeof line, limit.remaining_ms());
    if (result < 0)
        return result;
    *text = line;
    if (result < 4 || line[3] != '-')
        return 0;
    std::string code = text->substr(0, 3);
    for (int count = 1; count < ftp_reply_line_limit; ++count) {
        result = read_line(control, line, sizeof line, limit.remaining_ms());
        if (result < 0)
            return result;
        *text += '\n';
        *text += line;
        if (result >= 3 && code.compare(0, 3, line, 3) == 0 && line[3] != '-')
            return 0;
    }
    return error_ftp;
}

int32_t announced_size(const std::string& reply)
{
    for (size_t open = reply.find('('); open != std::string::npos; open = reply.find('(', open + 1)) {
        const char* p = reply.c_str() + open + 1;
        while (*p == ' ')
            ++p;
        if (!is_digit(*p))
            continue;
        long long value = 0;
        while (is_digit(*p) && value <= INT32_MAX)
            value = value * 10 + (*p++ - '0');
        if (value > INT32_MAX)
            continue;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (std::string_view(p).starts_with("bytes"))
            return int32_t(value);
    }
    return error_invalid_ftp_reply;
}

int passive_port(const std::string& reply)
{
    for (size_t i = 4; i < reply.size(); ++i) {
        if (!is_digit(reply[i]))
            continue;
        int numbers[6];
        if (!comma_numbers(reply.c_str() + i, 6, numbers))
            return error_invalid_ftp_reply;
        return numbers[4] << 8 | numbers[5];
    }
    return error_invalid_ftp_reply;
}

int ftp_url_names(const url& target, ftp_names* out)
{
    ftp_names names;
    std::string_view path = target.path;
    if (path.starts_with("/"))
        path.remove_prefix(1);
    if (int r = percent_decode(target.user, &names.user); r < 0)
        return r;
    if (int r = percent_decode(target.password, &names.password); r < 0)
        return r;
    if (int r = percent_decode(path, &names.file); r < 0)
        return r;
    if (names.file.empty() || names.file.ends_with("/"))
        return error_invalid_url_syntax;
    *out = std::move(names);
    return 0;
}

int ftp_converse(net_connection& conn, const url& target, int32_t* content_length, const ftp_settings& settings,
                 net_reporter& reporter)
{
    try {
        ftp_names names;
        if (int r = ftp_url_names(target, &names); r < 0) {
            reporter.message(0, "ftp url names no file", target.path.c_str());
            return r;
        }
        conversation talk(conn, names, settings, reporter);
        int state = ftp_waiting_for_greeting;
        while (state != ftp_receiving && state != ftp_failed) {
            std::string reply;
            int result = read_ftp_reply(conn.control, settings.reply_timeout, &reply);
            if (result == error_ftp)
                state = ftp_failed;
            else if (result < 0)
                return result;
            else
                state = talk.advance(state, reply, content_length);
        }
        return state == ftp_receiving ? 0 : error_ftp;
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
}

int ftp_get(net_connection& out, const url& target, int32_t* content_length, const ftp_settings& settings,
            net_reporter& reporter)
{
    ftp_names names;
    if (int r = ftp_url_names(target, &names); r < 0) {
        reporter.message(0, "ftp url names no file", target.path.c_str());
        return r;
    }
    std::string where = describe_target(target.host, target.port);
    reporter.message(0, "connecting", where.c_str());
    out.close();
    int result = connect_stream(target.host.c_str(), target.port, settings.connect_timeout, &out.control);
    if (result < 0) {
        reporter.message(0, "connection failed", error_string(result));
        return result;
    }
    reporter.message(0, "connected", where.c_str());
    *content_length = 0;
    result = ftp_converse(out, target, content_length, settings, reporter);
    if (result < 0) {
        out.close();
        return result;
    }
    reporter.message(0, "connected and receiving", where.c_str());
    return 0;
}

int udp_open(net_connection& out, const url& target)
{
    out.close();
    int result = open_datagram(target.port, &out.stream);
    if (result == 0)
        out.datagram = true;
    return result;
}

int tcp_open(net_connection& out, const url& target, int time_ms)
{
    out.close();
    int result = connect_stream(target.host.c_str(), target.port, time_ms, &out.stream);
    if (result < 0)
        return result;
    result = send_all(out.stream, "\r\n");
    if (result < 0)
        out.close();
    return result;
}

} // namespace melvox::net
