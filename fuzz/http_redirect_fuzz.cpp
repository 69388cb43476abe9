// Feeds arbitrary bytes as the replies of an HTTP server, one connection
// after another: the input is split at NUL bytes into the replies given to
// successive requests, so a run follows redirects (absolute, relative, to
// other schemes, past the limit) and reads the body of the reply it stops at.
// Every connection goes to a proxy on loopback that this target runs, since
// through a proxy each request reaches the proxy whatever host the location
// names: nothing leaves the machine.
#include "http_client.h"
#include "melvox.h"
#include "net_fuzz_support.h"
#include "net_reporter.h"
#include "stream_buffer.h"

#include <cstdint>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Serves each reply to one connection, after reading its request.
void serve(int listener, std::vector<std::string_view> replies)
{
    for (std::string_view reply : replies) {
        pollfd ready{listener, POLLIN, 0};
        if (poll(&ready, 1, 1000) != 1)
            return;
        int client = accept(listener, nullptr, nullptr);
        if (client < 0)
            return;
        fuzzing::widenBuffers(client);
        std::string request;
        if (fuzzing::readUntil(client, "\r\n\r\n", &request) && !request.starts_with("GET "))
            __builtin_trap();
        melvox::net::send_all(client, reply.data(), reply.size());
        close(client);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace melvox::net;
    if (size > 65536)
        return 0;
    std::vector<std::string_view> replies;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (;;) {
        size_t cut = rest.find('\0');
        replies.push_back(rest.substr(0, cut));
        if (cut == std::string_view::npos || replies.size() > http_redirect_limit + 1)
            break;
        rest.remove_prefix(cut + 1);
    }

    uint16_t port = 0;
    int listener = fuzzing::listenLoopback(&port);
    if (listener < 0)
        return 0;
    std::thread server(serve, listener, replies);

    http_settings settings;
    settings.proxy_host = "127.0.0.1";
    settings.proxy_port = port;
    settings.connect_timeout = 1000;
    settings.read_timeout = 1000;
    url target;
    parse_url("http://radio.example/start.mp3", &target);
    net_connection conn;
    int32_t length = 0;
    if (http_get(conn, target, &length, &settings, nullptr, silent_reporter()) == 0) {
        if (!conn.is_open() || length < 0)
            __builtin_trap();
        stream_settings stream = fuzzing::smallStreamSettings();
        stream_buffer ring;
        if (ring.allocate(stream) == 0) {
            ring.set_stall_limit(1000);
            ring.start_stream(uint64_t(length));
            fuzzing::readStream(ring, stream, conn);
        }
    } else if (conn.is_open()) {
        __builtin_trap(); // a failed request leaves nothing open
    }
    conn.close();
    shutdown(listener, SHUT_RDWR); // wakes the server from waiting for a request that will not come
    server.join();
    close(listener);
    return 0;
}
