// The few calls in which the two platforms' socket libraries differ. The rest
// of the socket layer (socket_common.cpp) is written once on these and on the
// BSD calls that Winsock shares; socket_posix.cpp and socket_win32.cpp
// implement them, with the datagram receive that each does its own way.
#pragma once

#include "deadline.h"
#include "socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstddef>

namespace melvox::net::platform {

#ifdef _WIN32
using native_socket = SOCKET;
using address_length = int;
#else
using native_socket = int;
using address_length = socklen_t;
#endif

// The system's errors by which a connect's outcome is told apart.
struct connect_error_codes {
    int in_progress, also_in_progress; // a non-blocking connect goes on
    int timed_out, refused;
};
#ifdef _WIN32
constexpr connect_error_codes connect_errors{WSAEWOULDBLOCK, WSAEINPROGRESS, WSAETIMEDOUT, WSAECONNREFUSED};
#else
constexpr connect_error_codes connect_errors{EINPROGRESS, EINTR, ETIMEDOUT, ECONNREFUSED};
#endif

inline native_socket native(socket_handle s)
{
    return native_socket(s);
}

// 0 when s is ready (for writing, or else for reading), error_timeout, or
// error_select_failed when the wait itself fails.
int wait_for(socket_handle s, bool for_writing, const deadline& limit);

// A new IPv4 socket of this type that child processes do not inherit, or
// no_socket.
socket_handle new_socket(int type);
// Called between making a socket and binding it.
void before_bind(socket_handle s);
// A connection that the listener has waiting, or no_socket.
socket_handle accept_connection(socket_handle listener);
void close_native(socket_handle s);

// 0, or error_socket_failed.
int set_blocking(socket_handle s, bool blocking);
// The error of the socket call that failed last.
int last_error();

// One receive of at most size bytes: the count, error_socket_closed when the
// peer has closed, error_timeout when nothing is there after all, else
// error_read_failed.
int receive_some(socket_handle s, void* buffer, size_t size);
// One send: the bytes that went (at least 1), or error_write_failed. Never
// raises a signal.
int send_some(socket_handle s, const char* bytes, size_t size);

} // namespace melvox::net::platform
