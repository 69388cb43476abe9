// The socket layer's platform calls on Winsock. Waits use select, whose
// descriptor sets on Windows are lists of handles with no limit on their
// values. Every call that makes a socket or looks up a name starts Winsock
// first, so no caller meets WSANOTINITIALISED. Winsock raises no signal on a
// broken connection.
#include "socket_platform.h"

#include "melvox.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <vector>

namespace melvox::net {

namespace {

// Sockets are kept out of child processes, like SOCK_CLOEXEC on POSIX.
void keep_from_children(SOCKET s)
{
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
}

// The largest payload that an IPv4 datagram can carry.
constexpr size_t largest_datagram = 65535;

} // namespace

namespace platform {

// A failed non-blocking connect is reported in the exception set, so a wait
// for writing watches both.
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
        return error_select_failed;
    return ready > 0 ? 0 : error_timeout;
}

socket_handle new_socket(int type)
{
    if (start_sockets() < 0)
        return no_socket;
    SOCKET s = socket(AF_INET, type, 0);
    if (s == INVALID_SOCKET)
        return no_socket;
    keep_from_children(s);
    return socket_handle(s);
}

// A local port is bound by this socket alone: Windows otherwise lets another
// socket that asks for address reuse take over a port that is in use.
void before_bind(socket_handle s)
{
    BOOL on = TRUE;
    setsockopt(native(s), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
}

socket_handle accept_connection(socket_handle listener)
{
    SOCKET s = accept(native(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return no_socket;
    keep_from_children(s);
    return socket_handle(s);
}

void close_native(socket_handle s)
{
    closesocket(native(s));
}

int set_blocking(socket_handle s, bool blocking)
{
    u_long non_blocking = blocking ? 0 : 1;
    return ioctlsocket(native(s), FIONBIO, &non_blocking) == 0 ? 0 : error_socket_failed;
}

int last_error()
{
    return WSAGetLastError();
}

int receive_some(socket_handle s, void* buffer, size_t size)
{
    int got = recv(native(s), static_cast<char*>(buffer), int(std::min<size_t>(size, INT_MAX)), 0);
    if (got > 0)
        return got;
    if (got == 0)
        return error_socket_closed;
    return WSAGetLastError() == WSAEWOULDBLOCK ? error_timeout : error_read_failed;
}

int send_some(socket_handle s, const char* bytes, size_t size)
{
    int sent = send(native(s), bytes, int(std::min<size_t>(size, INT_MAX)), 0);
    return sent == SOCKET_ERROR ? error_write_failed : sent;
}

} // namespace platform

int start_sockets()
{
    static std::once_flag once;
    static int result = error_socket_failed;
    std::call_once(once, [] {
        WSADATA data;
        result = WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 0 : error_socket_failed;
    });
    return result;
}

int receive_datagram(socket_handle s, void* buffer, size_t size, int time_ms, size_t* full_size)
{
    // Winsock tells only that a datagram was cut, not how long it was: it is
    // taken whole into a buffer that any datagram fits, then copied.
    thread_local std::vector<char> whole;
    whole.resize(largest_datagram);
    deadline limit(time_ms);
    for (;;) {
        if (int r = platform::wait_for(s, false, limit); r < 0)
            return r;
        int got = recv(platform::native(s), whole.data(), int(whole.size()), 0);
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

} // namespace melvox::net
