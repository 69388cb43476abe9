// The socket layer that every protocol client uses: IPv4 stream and datagram
// sockets with time limits. All times are milliseconds; a negative time means
// no limit. Each platform has its own implementation file; the calls that are
// built only on the others (lines, named hosts, whole texts) are shared.
#pragma once

#include <cstddef>
#include <cstdint>

namespace melvox::net {

using socket_handle = intptr_t;
inline constexpr socket_handle no_socket = -1;

// Starts the platform's socket library once; error_socket_failed when it
// cannot start.
int start_sockets();

// An IPv4 address in host byte order (127.0.0.1 is 0x7f000001).
using ipv4_address = uint32_t;

// A dotted quad is read as such; any other host is looked up by name in a
// worker thread that the caller waits for at most time_ms. Errors:
// error_host_unknown (empty host, failed lookup), error_timeout,
// error_internal (the wait itself failed). A lookup that outlives its limit
// finishes on its own and touches nothing of the caller's.
int resolve_host(const char* host, int time_ms, ipv4_address* out);

// The blocking name lookup that resolve_host runs in its worker thread: 0 and
// the address, or error_host_unknown. Tests put a slow one in its place;
// returns the one it replaces.
using name_lookup = int (*)(const char* host, ipv4_address* out);
name_lookup replace_name_lookup(name_lookup lookup);

// Resolves and connects a TCP socket, all within time_ms. Errors: those of
// resolve_host, error_timeout, error_connect_timed_out (the system's own
// time-out), error_connection_refused, error_connect_failed (any other
// refusal), error_select_failed, error_socket_failed.
int connect_stream(const char* host, uint16_t port, int time_ms, socket_handle* out);
int connect_stream(ipv4_address address, uint16_t port, int time_ms, socket_handle* out);

// A TCP socket bound to port (0: any free one) on all local addresses,
// listening with a backlog of 1. Errors: error_socket_failed,
// error_bind_failed, error_listen_failed.
int listen_stream(uint16_t port, uint16_t* bound_port, socket_handle* out);

// Waits up to time_ms for a connection. Errors: error_timeout,
// error_select_failed, error_accept_failed.
int accept_stream(socket_handle listener, int time_ms, socket_handle* out);

// A UDP socket bound to port on all local addresses (error_bind_failed).
int open_datagram(uint16_t port, socket_handle* out);

// Waits up to time_ms for data, then receives at most size bytes: the count
// (at least 1), error_timeout, error_select_failed, error_socket_closed when
// the peer has closed, error_read_failed.
int receive(socket_handle s, void* buffer, size_t size, int time_ms);

// The same for one datagram: the count (0 for an empty datagram); a datagram
// longer than size is cut to size and *full_size tells its real length.
int receive_datagram(socket_handle s, void* buffer, size_t size, int time_ms, size_t* full_size);

// Sends every byte; error_write_failed on a send error (never a signal).
int send_all(socket_handle s, const void* data, size_t size);
int send_all(socket_handle s, const char* text);

// Reads one line byte by byte, all of it within time_ms: '\r' is dropped and
// '\n' ends it. A line too long for the buffer keeps its first capacity - 1
// characters, the rest up to its end is read and dropped, and the capacity is
// returned; otherwise the length. Errors are those of receive.
int read_line(socket_handle s, char* buffer, size_t capacity, int time_ms);

// The same line reading on any byte source (a TLS session): receive takes at
// most size bytes within time_ms as receive above does.
using byte_receiver = int (*)(void* source, void* buffer, size_t size, int time_ms);
int read_line(byte_receiver receive, void* source, char* buffer, size_t capacity, int time_ms);

// The local and the peer address of a connected socket (error_socket_failed
// on failure).
int local_address(socket_handle s, ipv4_address* out);
int peer_address(socket_handle s, ipv4_address* out);

void close_socket(socket_handle s);

} // namespace melvox::net
