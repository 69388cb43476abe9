#include "loopback_ftp_server.h"

#include "test_sockets.h"

#include <chrono>
#include <cstdio>
#include <thread>

using namespace melvox::net;

namespace net_test {

namespace {

constexpr int data_wait_ms = 5000;

// "h1,h2,h3,h4,p1,p2" as an address and a port; false when malformed.
bool parse_port_argument(const std::string& text, ipv4_address* address, uint16_t* port)
{
    unsigned part[6];
    char end;
    if (std::sscanf(text.c_str(), "%u,%u,%u,%u,%u,%u%c", &part[0], &part[1], &part[2], &part[3], &part[4], &part[5],
                    &end) != 6)
        return false;
    for (unsigned p : part)
        if (p > 255)
            return false;
    *address = part[0] << 24 | part[1] << 16 | part[2] << 8 | part[3];
    *port = uint16_t(part[4] << 8 | part[5]);
    return true;
}

} // namespace

loopback_ftp_server::loopback_ftp_server(std::string file_name, std::string content, int connections)
    : file_name_(std::move(file_name)), content_(std::move(content)),
      server_([this](peer& control, int) { converse(control); }, connections)
{
}

std::string loopback_ftp_server::url(const std::string& path, const std::string& user) const
{
    return "ftp://" + user + "127.0.0.1:" + std::to_string(server_.port()) + path;
}

void loopback_ftp_server::converse(peer& control)
{
    control.send("220-Loopback FTP server\r\n220 ready\r\n");
    std::string user;
    ipv4_address active_address = 0;
    uint16_t active_port = 0;
    socket_handle passive_listener = no_socket;
    for (;;) {
        std::string line = control.read_line();
        if (line.empty())
            break; // the client went away or fell silent
        server_.record(line);
        size_t space = line.find(' ');
        std::string verb = line.substr(0, space);
        std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "USER") {
            user = argument;
            control.send("331 password please\r\n");
        } else if (verb == "PASS") {
            bool known = user == "anonymous" || (user == user_name && argument == password);
            control.send(known ? "230 logged in\r\n" : "530 login incorrect\r\n");
        } else if (verb == "TYPE") {
            control.send("200 type set\r\n");
        } else if (verb == "PORT") {
            bool valid = parse_port_argument(argument, &active_address, &active_port);
            control.send(valid ? "200 PORT command successful\r\n" : "501 bad PORT argument\r\n");
        } else if (verb == "PASV") {
            close_socket(passive_listener);
            uint16_t port = 0;
            passive_listener = open_loopback(false, 0, 1, &port);
            control.send("227 Entering Passive Mode (127,0,0,1," + std::to_string(port >> 8) + "," +
                         std::to_string(port & 0xff) + ").\r\n");
        } else if (verb == "RETR") {
            if (argument != file_name_) {
                control.send("550 no such file\r\n");
                continue;
            }
            control.send("150 Opening BINARY mode data connection for " + file_name_ + " (" +
                         std::to_string(content_.size()) + " bytes).\r\n");
            socket_handle data = no_socket;
            int opened = passive_listener != no_socket
                             ? accept_stream(passive_listener, data_wait_ms, &data)
                             : connect_stream(active_address, active_port, data_wait_ms, &data);
            if (opened != 0) {
                control.send("425 cannot open data connection\r\n");
                continue;
            }
            bool sent = send_all(data, content_.data(), content_.size()) == 0;
            close_socket(data);
            control.send(sent ? "226 transfer complete\r\n" : "426 transfer aborted\r\n");
        } else if (verb == "QUIT") {
            control.send("221 bye\r\n");
            break;
        } else {
            control.send("502 not implemented\r\n");
        }
    }
    close_socket(passive_listener);
    ++finished_;
}

bool loopback_ftp_server::wait_for_hang_up() const
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (finished_ < server_.connections() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return finished_ >= server_.connections();
}

} // namespace net_test
