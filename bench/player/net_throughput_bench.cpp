// Figures of the network input: sustained throughput of the stream buffer
// from a loopback HTTP server (reads of 4096 bytes, the default settings),
// the time from open to the first delivered bytes, and for scale a plain
// recv loop over the same kind of connection.
#include "melvox.h"
#include "network_input.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;
constexpr size_t body_size = 512u << 20;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// Serves one connection: a short HTTP header (when asked), then body_size bytes.
struct server {
    explicit server(bool header)
    {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener, 1);
        socklen_t length = sizeof a;
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length);
        port = ntohs(a.sin_port);
        thread = std::thread([this, header] {
            int fd = accept(listener, nullptr, nullptr);
            std::string request;
            char c;
            while (header && request.find("\r\n\r\n") == std::string::npos && recv(fd, &c, 1, 0) == 1)
                request += c;
            std::string reply = "HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n";
            if (header)
                send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            std::vector<char> block(1 << 16, 'm');
            for (size_t sent = 0; sent < body_size;) {
                ssize_t n = send(fd, block.data(), std::min(block.size(), body_size - sent), MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += size_t(n);
            }
            close(fd);
        });
    }
    ~server()
    {
        thread.join();
        close(listener);
    }
    int listener;
    uint16_t port;
    std::thread thread;
};

} // namespace

int main()
{
    using namespace melvox::net;
    double network_input_rate = 0, first_bytes_ms = 0;
    {
        server s(true);
        const environment_reader& env = empty_environment();
        network_input* input = nullptr;
        std::string name = "http://127.0.0.1:" + std::to_string(s.port) + "/stream";
        auto start = clock_type::now();
        if (network_input_new(&input, name.c_str(), env, nullptr) != 0 || network_input_open(input, env) != 0) {
            std::fprintf(stderr, "cannot open %s\n", name.c_str());
            return 1;
        }
        std::vector<char> piece(4096);
        size_t total = 0;
        int got;
        while ((got = network_input_read(input, piece.data(), piece.size())) != error_end_of_input_stream) {
            if (got > 0 && total == 0)
                first_bytes_ms = seconds_since(start) * 1000;
            if (got > 0)
                total += size_t(got);
        }
        network_input_rate = double(total) / (1 << 20) / seconds_since(start);
        network_input_close(input);
        network_input_delete(input);
    }
    double plain_rate = 0;
    {
        server s(false);
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(s.port);
        auto start = clock_type::now();
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        std::vector<char> piece(4096);
        size_t total = 0;
        ssize_t n;
        while ((n = recv(fd, piece.data(), piece.size(), 0)) > 0)
            total += size_t(n);
        plain_rate = double(total) / (1 << 20) / seconds_since(start);
        close(fd);
    }
    std::printf("network input, http from loopback, reads of 4096: %.0f MB/s\n", network_input_rate);
    std::printf("plain recv loop of 4096 on loopback:              %.0f MB/s (ratio %.2f)\n", plain_rate,
                network_input_rate / plain_rate);
    std::printf("open to first delivered bytes (high mark 16384):  %.2f ms\n", first_bytes_ms);
    return 0;
}
