// Socket calls that tests make as the peer of the code under test, below the
// socket layer (a listener with a chosen backlog, a sender of datagrams, a
// reset): the same on POSIX and Winsock.
#pragma once

#include "socket.h"

#include <cstdint>
#include <string>

namespace net_test {

using melvox::net::socket_handle;

// A socket bound to 127.0.0.1 on port (0: any free one); a stream socket
// listens with the given backlog. no_socket on failure.
socket_handle open_loopback(bool datagram, uint16_t port, int backlog, uint16_t* bound_port);

// Sends datagrams to 127.0.0.1 from one socket of its own.
class datagram_sender {
public:
    datagram_sender();
    ~datagram_sender();
    datagram_sender(const datagram_sender&) = delete;
    datagram_sender& operator=(const datagram_sender&) = delete;
    bool send(uint16_t port, const std::string& bytes);

private:
    socket_handle socket_;
};

// Sends one datagram to 127.0.0.1:port.
bool send_datagram(uint16_t port, const std::string& bytes);

// Closes a connection with a reset instead of an orderly end.
void reset_connection(socket_handle s);

// Whether a program that this process starts would get the socket too.
bool inherited_by_children(socket_handle s);

// Receives exactly size bytes within ms; false when fewer came.
bool receive_exactly(socket_handle s, char* buffer, size_t size, int ms);

} // namespace net_test
