// The socket layer on Winsock. Waits use select, whose descriptor sets on
// Windows are lists of handles with no limit on their values. Every call that
// makes a socket or looks up a name starts Winsock first, so no caller meets
// WSANOTINITIALISED. Winsock raises no signal on a broken connection.
#include "deadline.h"
#include "socket.h"

#include "melvox.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <vector>

namespace melvox::net {

namespace {

SOCKET native(socket_handle s)
{
    return SOCKET(s);
}

// 1 ready, 0 timed out, -1 select failed. A failed non-blocking connect is
// reported in the exception set, so a wait for writing watches both.
int wait_for(socket_handle s, bool for_writing, const deadline& limit)
{
    fd_set ready_set;
    fd_set error_set;
    FD_ZERO(&ready_set);
    FD_ZERO(&error_set);
    FD_SET(native(s), &ready_set);
    FD_SET(native(s), &error_set);
    int remaining = limit.remaining_ms();
    timeval wait{remaining / 1000, (remaining % 1000) * 1000};
    int ready = for_writing ? select(0, nullptr, &ready_set, &error_set, remaining < 0 ? nullptr : &wait)
                            : select(0, &ready_set, nullptr, nullptr, remaining < 0 ? nullptr : &wait);
    if (ready == SOCKET_ERROR)
        return -1;
    return ready > 0 ? 1 : 0;
}

sockaddr_in socket_address(ipv4_address address, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(address);
    a.sin_port = htons(port);
    return a;
}

int set_blocking(SOCKET s, bool blocking)
{
    u_long non_blocking = blocking ? 0 : 1;
    return ioctlsocket(s, FIONBIO, &non_blocking) == 0 ? 0 : -1;
}

// Sockets are kept out of child processes, like SOCK_CLOEXEC on POSIX.
void keep_from_children(SOCKET s)
{
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
}

SOCKET new_socket(int type)
{
    if (start_sockets() < 0)
        return INVALID_SOCKET;
    SOCKET s = socket(AF_INET, type, 0);
    if (s != INVALID_SOCKET)
        keep_from_children(s);
    return s;
}

// A local port is bound by this socket alone: Windows otherwise lets another
// socket that asks for address reuse take over a port that is in use.
void bind_exclusively(SOCKET s)
{
    BOOL on = TRUE;
    setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
}

int connect_error(int wsa_error)
{
    if (wsa_error == WSAETIMEDOUT)
        return error_connect_timed_out;
    if (wsa_error == WSAECONNREFUSED)
        return error_connection_refused;
    return -1;
}

int connect_within(ipv4_address address, uint16_t port, const deadline& limit, socket_handle* out)
{
    SOCKET s = new_socket(SOCK_STREAM);
    if (s == INVALID_SOCKET)
        return error_socket_failed;
    sockaddr_in a = socket_address(address, port);
    int result = 0;
    if (set_blocking(s, false) < 0) {
        result = -1;
    } else if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == SOCKET_ERROR) {
        int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
            result = connect_error(error);
        } else {
            int ready = wait_for(socket_handle(s), true, limit);
            if (ready == 0) {
                result = error_timeout;
            } else if (ready < 0) {
                result = -1;
            } else {
                int pending = 0;
                int length = sizeof pending;
                if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending), &length) == SOCKET_ERROR)
                    pending = WSAGetLastError();
                result = pending == 0 ? 0 : connect_error(pending);
            }
        }
    }
    if (result == 0 && set_blocking(s, true) < 0)
        result = -1;
    if (result != 0) {
        closesocket(s);
        return result;
    }
    *out = socket_handle(s);
    return 0;
}

int address_of(socket_handle s, bool peer, ipv4_address* out)
{
    sockaddr_in a{};
    int length = sizeof a;
    int result = peer ? getpeername(native(s), reinterpret_cast<sockaddr*>(&a), &length)
                      : getsockname(native(s), reinterpret_cast<sockaddr*>(&a), &length);
    if (result == SOCKET_ERROR || a.sin_family != AF_INET)
        return -1;
    *out = ntohl(a.sin_addr.s_addr);
    return 0;
}

// The largest payload that an IPv4 datagram can carry.
constexpr size_t largest_datagram = 65535;

} // namespace

int start_sockets()
{
    static std::once_flag once;
    static int result = -1;
    std::call_once(once, [] {
        WSADATA data;
        result = WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 0 : -1;
    });
    return result;
}

int connect_stream(ipv4_address address, uint16_t port, int time_ms, socket_handle* out)
{
    return connect_within(address, port, deadline(time_ms), out);
}

int listen_stream(uint16_t port, uint16_t* bound_port, socket_handle* out)
{
    SOCKET s = new_socket(SOCK_STREAM);
    if (s == INVALID_SOCKET)
        return error_socket_failed;
    bind_exclusively(s);
    sockaddr_in a = socket_address(INADDR_ANY, port);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == SOCKET_ERROR) {
        closesocket(s);
        return error_bind_failed;
    }
    if (listen(s, 1) == SOCKET_ERROR) {
        closesocket(s);
        return error_listen_failed;
    }
    int length = sizeof a;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == SOCKET_ERROR) {
        closesocket(s);
        return error_bind_failed;
    }
    if (bound_port != nullptr)
        *bound_port = ntohs(a.sin_port);
    *out = socket_handle(s);
    return 0;
}

int accept_stream(socket_handle listener, int time_ms, socket_handle* out)
{
    int ready = wait_for(listener, false, deadline(time_ms));
    if (ready == 0)
        return error_timeout;
    if (ready < 0)
        return error_select_failed;
    SOCKET s = accept(native(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return error_accept_failed;
    keep_from_children(s);
    *out = socket_handle(s);
    return 0;
}

int open_datagram(uint16_t port, socket_handle* out)
{
    SOCKET s = new_socket(SOCK_DGRAM);
    if (s == INVALID_SOCKET)
        return error_socket_failed;
    bind_exclusively(s);
    sockaddr_in a = socket_address(INADDR_ANY, port);
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == SOCKET_ERROR) {
        closesocket(s);
        return error_bind_failed;
    }
    *out = socket_handle(s);
    return 0;
}

int receive(socket_handle s, void* buffer, size_t size, int time_ms)
{
    int ready = wait_for(s, false, deadline(time_ms));
    if (ready == 0)
        return error_timeout;
    if (ready < 0)
        return error_select_failed;
    int got = recv(native(s), static_cast<char*>(buffer), int(std::min<size_t>(size, INT_MAX)), 0);
    if (got > 0)
        return got;
    if (got == 0)
        return error_socket_closed;
    return WSAGetLastError() == WSAEWOULDBLOCK ? error_timeout : error_read_failed;
}

int receive_datagram(socket_handle s, void* buffer, size_t size, int time_ms, size_t* full_size)
{
    // Winsock tells only that a datagram was cut, not how long it was: it is
    // taken whole into a buffer that any datagram fits, then copied.
    thread_local std::vector<char> whole;
    whole.resize(largest_datagram);
    deadline limit(time_ms);
    for (;;) {
        int ready = wait_for(s, false, limit);
        if (ready == 0)
            return error_timeout;
        if (ready < 0)
            return error_select_failed;
        int got = recv(native(s), whole.data(), int(whole.size()), 0);
        if (got == SOCKET_ERROR) {
            int error = WSAGetLastError();
            // A datagram that this socket sent and a peer refused shows up
            // as a reset here; it is no data and no failure of this socket.
            if (error == WSAECONNRESET)
                continue;
            return error == WSAEWOULDBLOCK ? error_timeout : error_read_failed;
        }
        size_t kept = std::min(size_t(got), size);
        std::copy_n(whole.data(), kept, static_cast<char*>(buffer));
        if (full_size != nullptr)
            *full_size = size_t(got);
        return int(kept);
    }
}

int send_all(socket_handle s, const void* data, size_t size)
{
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        int sent = send(native(s), bytes, int(std::min<size_t>(size, INT_MAX)), 0);
        if (sent == SOCKET_ERROR)
            return -1;
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
        closesocket(native(s));
}

} // namespace melvox::net
