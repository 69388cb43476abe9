#include "net_fuzz_support.h"

#include "melvox.h"
#include "net_reporter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fuzzing {

namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

} // namespace

int listenLoopback(uint16_t* port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 16) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}

int connectLoopback(uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address = loopback(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void widenBuffers(int fd)
{
    int size = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
}

bool readUntil(int fd, const std::string& end, std::string* text)
{
    text->clear();
    while (!text->ends_with(end)) {
        pollfd ready{fd, POLLIN, 0};
        char c;
        if (poll(&ready, 1, 1000) != 1 || read(fd, &c, 1) != 1)
            return false;
        if (text->size() < 4096)
            text->push_back(c);
    }
    return true;
}

melvox::net::stream_settings smallStreamSettings()
{
    melvox::net::stream_settings settings;
    settings.buffer_size = 4096;
    settings.max_packet_size = 512;
    settings.high_mark = 1024;
    settings.read_timeout = 0;
    return settings;
}

void readStream(melvox::net::stream_buffer& ring, const melvox::net::stream_settings& settings,
                melvox::net::stream_source& source)
{
    uint8_t out[700];
    size_t n = 1;
    for (int reads = 0; reads < 20000; ++reads) {
        int got = ring.read(out, n, source, melvox::net::silent_reporter());
        if (got == error_end_of_input_stream)
            break;
        if (ring.held() >= size_t(settings.buffer_size))
            __builtin_trap();
        n = n * 7 % sizeof out + 1;
    }
}

} // namespace fuzzing
