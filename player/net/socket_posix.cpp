// The socket layer's platform calls on BSD sockets. Waits use poll (no
// descriptor-number limit) and restart after signals with the time that is
// left; sends never raise SIGPIPE.
#include "socket_platform.h"

#include "melvox.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

namespace melvox::net {

namespace platform {

int wait_for(socket_handle s, bool for_writing, const deadline& limit)
{
    for (;;) {
        pollfd p{native(s), short(for_writing ? POLLOUT : POLLIN), 0};
        int ready = poll(&p, 1, limit.remaining_ms());
        if (ready >= 0)
            return ready > 0 ? 0 : error_timeout;
        if (errno != EINTR)
            return error_select_failed;
    }
}

socket_handle new_socket(int type)
{
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    return fd < 0 ? no_socket : socket_handle(fd);
}

void before_bind(socket_handle) {}

socket_handle accept_connection(socket_handle listener)
{
    int fd = accept4(native(listener), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? no_socket : socket_handle(fd);
}

void close_native(socket_handle s)
{
    close(native(s));
}

int set_blocking(socket_handle s, bool blocking)
{
    int flags = fcntl(native(s), F_GETFL);
    if (flags < 0 || fcntl(native(s), F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) < 0)
        return error_socket_failed;
    return 0;
}

int last_error()
{
    return errno;
}

int receive_some(socket_handle s, void* buffer, size_t size)
{
    for (;;) {
        ssize_t got = recv(native(s), buffer, size, 0);
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

int send_some(socket_handle s, const char* bytes, size_t size)
{
    for (;;) {
        ssize_t sent = send(native(s), bytes, std::min<size_t>(size, INT_MAX), MSG_NOSIGNAL);
        if (sent >= 0)
            return int(sent);
        if (errno != EINTR)
            return error_write_failed;
    }
}

} // namespace platform

int start_sockets()
{
    return 0;
}

int receive_datagram(socket_handle s, void* buffer, size_t size, int time_ms, size_t* full_size)
{
    if (int r = platform::wait_for(s, false, deadline(time_ms)); r < 0)
        return r;
    for (;;) {
        // MSG_TRUNC makes Linux answer with the datagram's real length.
        ssize_t got = recv(platform::native(s), buffer, size, MSG_TRUNC);
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

} // namespace melvox::net
