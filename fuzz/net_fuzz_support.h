// What the network fuzz targets share: loopback sockets for a pretend server
// in the same process, and reading a stream to its end through a small
// stream buffer as the network input does.
#pragma once

#include "connection.h"
#include "stream_buffer.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzing {

// A TCP socket listening on 127.0.0.1 at a free port (told in port); -1 on failure.
int listenLoopback(uint16_t* port);

// Connects to 127.0.0.1:port; -1 on failure.
int connectLoopback(uint16_t port);

// Lets one socket buffer hold a whole fuzz input, so that a pretend server
// can send it all before its client reads.
void widenBuffers(int fd);

// Reads one request or command line from a client, up to and including the
// byte sequence end, within a second: false when the client closed or went quiet.
bool readUntil(int fd, const std::string& end, std::string* text);

// A stream buffer small enough that the fuzz inputs wrap its ring.
melvox::net::stream_settings smallStreamSettings();

// Reads the stream to its end (or a bounded number of reads) in reads of
// changing sizes; traps when the ring ever holds more than its size.
void readStream(melvox::net::stream_buffer& ring, const melvox::net::stream_settings& settings,
                melvox::net::stream_source& source);

} // namespace fuzzing
