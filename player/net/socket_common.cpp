// The socket layer as far as both platforms share it: written on the BSD
// calls that Winsock has too, and on the calls of socket_platform.h.
#include "socket_platform.h"

#include "melvox.h"

#include <cstring>

namespace melvox::net {

namespace {

using platform::native;

sockaddr_in socket_address(ipv4_address address, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

int address_of(socket_handle s, bool peer, ipv4_address* out)
{
    sockaddr_in a{};
    platform::address_length length = sizeof a;
    int result = peer ? getpeername(native(s), reinterpret_cast<sockaddr*>(&a), &length)
                      : getsockname(native(s), reinterpret_cast<sockaddr*>(&a), &length);
    if (result < 0 || a.sin_family != AF_INET)
        return error_socket_failed;
    *out = ntohl(a.sin_addr.s_addr);
    return 0;
}

// Whether a non-blocking connect that failed with this error goes on in the
// background.
bool connect_pending(int error)
{
    return error == platform::connect_errors.in_progress || error == platform::connect_errors.also_in_progress;
}

// The library's code for a connect that failed with this error.
int connect_error(int error)
{
    if (error == platform::connect_errors.timed_out)
        return error_connect_timed_out;
    if (error == platform::connect_errors.refused)
        return error_connection_refused;
    return error_connect_failed;
}

// The error that a connect under way ended with (0: connected).
int pending_connect_error(socket_handle s)
{
    int error = 0;
    platform::address_length length = sizeof error;
    if (getsockopt(native(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) < 0)
        error = platform::last_error();
    return error;
}

int connect_within(ipv4_address address, uint16_t port, const deadline& limit, socket_handle* out)
{
    socket_handle s = platform::new_socket(SOCK_STREAM);
    if (s == no_socket)
        return error_socket_failed;
    sockaddr_in a = socket_address(address, port);
    int result = platform::set_blocking(s, false);
    if (result == 0 && connect(native(s), reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        int error = platform::last_error();
        if (!connect_pending(error)) {
            result = connect_error(error);
        } else if (result = platform::wait_for(s, true, limit); result == 0) {
            error = pending_connect_error(s);
            result = error == 0 ? 0 : connect_error(error);
        }
    }
    if (result == 0)
        result = platform::set_blocking(s, true);
    if (result != 0) {
        platform::close_native(s);
        return result;
    }
    *out = s;
    return 0;
}

// A socket of this type bound to port on all local addresses.
int bound_socket(int type, uint16_t port, socket_handle* out)
{
    socket_handle s = platform::new_socket(type);
    if (s == no_socket)
        return error_socket_failed;
    platform::before_bind(s);
    sockaddr_in a = socket_address(INADDR_ANY, port);
    if (bind(native(s), reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        platform::close_native(s);
        return error_bind_failed;
    }
    *out = s;
    return 0;
}

} // namespace

int connect_stream(const char* host, uint16_t port, int time_ms, socket_handle* out)
{
    deadline limit(time_ms);
    ipv4_address address = 0;
    int result = resolve_host(host, time_ms, &address);
    if (result < 0)
        return result;
    return connect_within(address, port, deadline(limit.remaining_ms()), out);
}

int connect_stream(ipv4_address address, uint16_t port, int time_ms, socket_handle* out)
{
    return connect_within(address, port, deadline(time_ms), out);
}

int listen_stream(uint16_t port, uint16_t* bound_port, socket_handle* out)
{
    socket_handle s = no_socket;
    if (int r = bound_socket(SOCK_STREAM, port, &s); r < 0)
        return r;
    if (listen(native(s), 1) < 0) {
        platform::close_native(s);
        return error_listen_failed;
    }
    sockaddr_in a{};
    platform::address_length length = sizeof a;
    if (getsockname(native(s), reinterpret_cast<sockaddr*>(&a), &length) < 0) {
        platform::close_native(s);
        return error_bind_failed;
    }
    if (bound_port != nullptr)
        *bound_port = ntohs(a.sin_port);
    *out = s;
    return 0;
}

int accept_stream(socket_handle listener, int time_ms, socket_handle* out)
{
    if (int r = platform::wait_for(listener, false, deadline(time_ms)); r < 0)
        return r;
    socket_handle s = platform::accept_connection(listener);
    if (s == no_socket)
        return error_accept_failed;
    *out = s;
    return 0;
}

int open_datagram(uint16_t port, socket_handle* out)
{
    return bound_socket(SOCK_DGRAM, port, out);
}

int receive(socket_handle s, void* buffer, size_t size, int time_ms)
{
    if (int r = platform::wait_for(s, false, deadline(time_ms)); r < 0)
        return r;
    return platform::receive_some(s, buffer, size);
}

int send_all(socket_handle s, const void* data, size_t size)
{
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        int sent = platform::send_some(s, bytes, size);
        if (sent < 0)
            return sent;
        bytes += sent;
        size -= size_t(sent);
    }
    return 0;
}

int send_all(socket_handle s, const char* text)
{
    return send_all(s, text, std::strlen(text));
}

int read_line(socket_handle s, char* buffer, size_t capacity, int time_ms)
{
    auto from_socket = [](void* source, void* bytes, size_t size, int ms) {
        return receive(*static_cast<socket_handle*>(source), bytes, size, ms);
    };
    return read_line(from_socket, &s, buffer, capacity, time_ms);
}

int read_line(byte_receiver receive, void* source, char* buffer, size_t capacity, int time_ms)
{
    if (buffer == nullptr || capacity == 0)
        return error_invalid_parameters;
    deadline limit(time_ms);
    size_t length = 0;
    bool cut = false;
    for (;;) {
        // A peer that keeps sending never lets the wait time out: the limit
        // is checked before every byte.
        char c;
        int got = limit.expired() ? error_timeout : receive(source, &c, 1, limit.remaining_ms());
        if (got < 0) {
            buffer[length] = '\0';
            return got;
        }
        if (c == '\n')
            break;
        if (c == '\r')
            continue;
        if (length + 1 < capacity)
            buffer[length++] = c;
        else
            cut = true;
    }
    buffer[length] = '\0';
    return cut ? int(capacity) : int(length);
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
        platform::close_native(s);
}

} // namespace melvox::net
