// The socket layer on BSD sockets. Waits use poll (no descriptor-number limit)
// and restart after signals with the time that is left.
#include "deadline.h"
#include "socket.h"

#include "melvox.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace melvox::net {

namespace {

// 1 ready, 0 timed out, -1 poll failed.
int wait_for(socket_handle s, short events, const deadline& limit)
{
    for (;;) {
        pollfd p{int(s), events, 0};
        int ready = poll(&p, 1, limit.remaining_ms());
        if (ready >= 0)
            return ready > 0 ? 1 : 0;
        if (errno != EINTR)
            return -1;
    }
}

sockaddr_in socket_address(ipv4_address address, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

int set_blocking(int fd, bool blocking)
{
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return -1;
    return fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

int new_socket(int type)
{
    return socket(AF_INET, type | SOCK_CLOEXEC, 0);
}

int connect_within(ipv4_address address, uint16_t port, const deadline& limit, socket_handle* out)
{
    int fd = new_socket(SOCK_STREAM);
    if (fd < 0)
        return error_socket_failed;
    sockaddr_in a = socket_address(address, port);
    int result = 0;
    if (set_blocking(fd, false) < 0) {
        result = -1;
    } else if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            result = errno;
        } else {
            int ready = wait_for(fd, POLLOUT, limit);
            if (ready == 0) {
                result = error_timeout;
            } else if (ready < 0) {
                result = -1;
            } else {
                int error = 0;
                socklen_t length = sizeof error;
                if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0)
                    error = errno;
                result = error;
            }
        }
    }
    if (result > 0) // an errno value
        result = result == ETIMEDOUT ? error_connect_timed_out : result == ECONNREFUSED ? error_connection_refused : -1;
    if (result == 0 && set_blocking(fd, true) < 0)
        result = -1;
    if (result != 0) {
        close(fd);
        return result;
    }
    *out = fd;
    return 0;
}

int address_of(socket_handle s, bool peer, ipv4_address* out)
{
    sockaddr_in a{};
    socklen_t length = sizeof a;
    int result = peer ? getpeername(int(s), reinterpret_cast<sockaddr*>(&a), &length)
                      : getsockname(int(s), reinterpret_cast<sockaddr*>(&a), &length);
    if (result < 0 || a.sin_family != AF_INET)
        return -1;
    *out = ntohl(a.sin_addr.s_addr);
    return 0;
}

} // namespace

int start_sockets()
{
    return 0;
}

int connect_stream(ipv4_address address, uint16_t port, int time_ms, socket_handle* out)
{
    return connect_within(address, port, deadline(time_ms), out);
}

int listen_stream(uint16_t port, uint16_t* bound_port, socket_handle* out)
{
    int fd = new_socket(SOCK_STREAM);
    if (fd < 0)
        return error_socket_failed;
    sockaddr_in a = socket_address(INADDR_ANY, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        close(fd);
        return error_bind_failed;
    }
    if (listen(fd, 1) < 0) {
        close(fd);
        return error_listen_failed;
    }
    socklen_t length = sizeof a;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) < 0) {
        close(fd);
        return error_bind_failed;
    }
    if (bound_port != nullptr)
        *bound_port = ntohs(a.sin_port);
    *out = fd;
    return 0;
}

int accept_stream(socket_handle listener, int time_ms, socket_handle* out)
{
    int ready = wait_for(listener, POLLIN, deadline(time_ms));
    if (ready == 0)
        return error_timeout;
    if (ready < 0)
        return error_select_failed;
    int fd = accept4(int(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return error_accept_failed;
    *out = fd;
    return 0;
}

int open_datagram(uint16_t port, socket_handle* out)
{
    int fd = new_socket(SOCK_DGRAM);
    if (fd < 0)
        return error_socket_failed;
    sockaddr_in a = socket_address(INADDR_ANY, port);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        close(fd);
        return error_bind_failed;
    }
    *out = fd;
    return 0;
}

int receive(socket_handle s, void* buffer, size_t size, int time_ms)
{
    int ready = wait_for(s, POLLIN, deadline(time_ms));
    if (ready == 0)
        return error_timeout;
    if (ready < 0)
        return error_select_failed;
    for (;;) {
        ssize_t got = recv(int(s), buffer, size, 0);
        if (got > 0)
            return int(got);
        if (got == 0)
            return error_socket_closed;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return error_timeout;
        return error_read_failed;
    }
}

int receive_datagram(socket_handle s, void* buffer, size_t size, int time_ms, size_t* full_size)
{
    int ready = wait_for(s, POLLIN, deadline(time_ms));
    if (ready == 0)
        return error_timeout;
    if (ready < 0)
        return error_select_failed;
    for (;;) {
        // MSG_TRUNC makes Linux answer with the datagram's real length.
        ssize_t got = recv(int(s), buffer, size, MSG_TRUNC);
        if (got >= 0) {
            if (full_size != nullptr)
                *full_size = size_t(got);
            return int(std::min(size_t(got), size));
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return error_timeout;
        return error_read_failed;
    }
}

int send_all(socket_handle s, const void* data, size_t size)
{
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t sent = send(int(s), bytes, size, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        bytes += sent;
        size -= size_t(sent);
    }
    return 0;
}

int local_address(socket_handle s, ipv4_address* out)
{
    return address_of(s, false, out);
}

int peer_address(socket_handle s, ipv4_address* out)
{
    return address_of(s, true, out);
}

void close_socket(socket_handle s)
{
    if (s != no_socket)
        close(int(s));
}

} // namespace melvox::net
