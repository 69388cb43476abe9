// Feeds arbitrary bytes as the datagrams of a "udp:" stream: the first byte
// picks the largest packet the stream takes, then each datagram is a 2-byte
// big-endian length and its bytes. They arrive on a datagram socket pair
// through the network input's own receive, so datagrams larger than a
// packet are cut and empty ones are taken, as from a UDP socket.
#include "connection.h"
#include "net_fuzz_support.h"
#include "net_reporter.h"
#include "stream_buffer.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace melvox::net;
    if (size < 1 || size > 65536)
        return 0;
    stream_settings settings = fuzzing::smallStreamSettings();
    settings.max_packet_size = 16 + data[0] * 8;
    settings = fitted(settings);
    ++data;
    --size;

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM, 0, pair) != 0)
        return 0;
    net_connection conn;
    conn.stream = pair[1];
    conn.datagram = true;
    stream_buffer ring;
    if (ring.allocate(settings) != 0) {
        close(pair[0]);
        return 0;
    }
    ring.set_stall_limit(0); // a datagram stream ends when nothing more comes
    ring.start_stream(0);
    uint8_t out[700];
    size_t n = 1;
    for (size_t at = 0; at < size;) {
        size_t length = at + 2 <= size ? size_t(data[at] << 8 | data[at + 1]) : 0;
        at = std::min(size, at + 2);
        length = std::min(length, size - at);
        // The receiving socket holds a few datagrams only: read while it is full.
        for (int tries = 0; send(pair[0], data + at, length, MSG_DONTWAIT) < 0 && errno == EAGAIN && tries < 100;
             ++tries) {
            ring.read(out, n, conn, silent_reporter());
            n = n * 7 % sizeof out + 1;
        }
        at += length;
    }
    close(pair[0]);
    fuzzing::readStream(ring, settings, conn);
    return 0;
}
