// An open network stream: the socket the stream buffer reads from and, for
// FTP, the control connection and the listening data socket that belong to it,
// so that closing the stream closes them all.
#pragma once

#include "socket.h"
#include "tls.h"

#include <cstddef>
#include <memory>

namespace melvox::net {

class net_reporter;

// Where the stream buffer takes its bytes from.
class stream_source {
public:
    virtual ~stream_source() = default;
    // Receives at most size bytes within time_ms: the count (0 for an empty
    // datagram), error_timeout when nothing came, another negative code when
    // the stream can give no more.
    virtual int receive(void* buffer, size_t size, int time_ms) = 0;
    // Datagram sources take at most one packet per receive.
    virtual bool takes_packets() const { return false; }
};

class net_connection : public stream_source {
public:
    net_connection() = default;
    net_connection(const net_connection&) = delete;
    net_connection& operator=(const net_connection&) = delete;
    ~net_connection() override { close(); }

    int receive(void* buffer, size_t size, int time_ms) override;
    bool takes_packets() const override { return datagram; }

    // Sends every byte on the stream, through its TLS session when it has one.
    int send(const void* data, size_t size);
    // Reads one line from the stream (read_line of socket.h).
    int read_line(char* buffer, size_t capacity, int time_ms);
    // Takes over the other's stream and TLS session; closes what this had.
    void take_stream(net_connection& other);

    bool is_open() const { return stream != no_socket; }
    void close();

    socket_handle stream = no_socket;   // what the stream buffer reads
    std::unique_ptr<tls_session> tls;   // over stream, for https
    socket_handle control = no_socket;  // FTP control connection
    socket_handle listener = no_socket; // FTP active-mode data listener
    bool datagram = false;
    // Told when a datagram is cut to the requested size; may be null.
    net_reporter* reporter = nullptr;
};

} // namespace melvox::net
