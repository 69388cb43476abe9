#include "test_sockets.h"

#include "deadline.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace net_test {

namespace {

#ifdef _WIN32
constexpr int private_socket = 0;
#else
constexpr int private_socket = SOCK_CLOEXEC; // kept from helper programs
#endif

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

} // namespace

socket_handle open_loopback(bool datagram, uint16_t port, int backlog, uint16_t* bound_port)
{
    if (melvox::net::start_sockets() < 0)
        return melvox::net::no_socket;
    auto s = socket_handle(socket(AF_INET, (datagram ? SOCK_DGRAM : SOCK_STREAM) | private_socket, 0));
    if (s == melvox::net::no_socket)
        return s;
    sockaddr_in a = loopback(port);
    socklen_t length = sizeof a;
    bool ready = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && (datagram || listen(s, backlog) == 0) &&
                 getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0;
    if (!ready) {
        melvox::net::close_socket(s);
        return melvox::net::no_socket;
    }
    if (bound_port != nullptr)
        *bound_port = ntohs(a.sin_port);
    return s;
}

datagram_sender::datagram_sender()
{
    socket_ = melvox::net::start_sockets() < 0 ? melvox::net::no_socket
                                               : socket_handle(socket(AF_INET, SOCK_DGRAM | private_socket, 0));
}

datagram_sender::~datagram_sender()
{
    melvox::net::close_socket(socket_);
}

bool datagram_sender::send(uint16_t port, const std::string& bytes)
{
    sockaddr_in to = loopback(port);
    return socket_ != melvox::net::no_socket &&
           sendto(socket_, bytes.data(), int(bytes.size()), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) ==
               int(bytes.size());
}

bool send_datagram(uint16_t port, const std::string& bytes)
{
    return datagram_sender().send(port, bytes);
}

void reset_connection(socket_handle s)
{
    linger l{};
    l.l_onoff = 1;
    l.l_linger = 0;
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    melvox::net::close_socket(s);
}

bool inherited_by_children(socket_handle s)
{
#ifdef _WIN32
    DWORD flags = 0;
    return !GetHandleInformation(reinterpret_cast<HANDLE>(s), &flags) || (flags & HANDLE_FLAG_INHERIT) != 0;
#else
    int flags = fcntl(int(s), F_GETFD);
    return flags < 0 || (flags & FD_CLOEXEC) == 0;
#endif
}

bool receive_exactly(socket_handle s, char* buffer, size_t size, int ms)
{
    melvox::net::deadline limit(ms);
    for (size_t done = 0; done < size;) {
        int got = melvox::net::receive(s, buffer + done, size - done, limit.remaining_ms());
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

} // namespace net_test
