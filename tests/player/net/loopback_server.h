// Scripted servers on 127.0.0.1 for the network input's tests: a thread
// accepts connections and runs a script on each. Every wait is bounded, so a
// test that goes wrong fails instead of hanging.
#pragma once

#include "socket.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace net_test {

// One accepted connection as the script sees it.
class peer {
public:
    explicit peer(melvox::net::socket_handle s) : socket_(s) {}
    // Reads up to and including the blank line that ends a request (at most
    // 64 KiB, within 5 s).
    std::string read_request();
    // Reads one line without its "\r\n" (within 5 s).
    std::string read_line();
    void send(const std::string& bytes);
    // Sends a byte that never ends a line every 10 ms for ms (or until the
    // client hangs up): a peer that is never silent and never done.
    void drip(int ms);
    // Closes with a reset instead of an orderly end.
    void reset();
    melvox::net::socket_handle socket() const { return socket_; }

private:
    melvox::net::socket_handle socket_;
};

class loopback_server {
public:
    using script = std::function<void(peer&, int connection_index)>;

    // Serves up to max_connections connections, one script run each.
    explicit loopback_server(script run, int max_connections = 1);
    ~loopback_server();

    uint16_t port() const { return port_; }
    std::string url(const std::string& scheme, const std::string& path = "/") const;
    // Requests that the scripts recorded with record().
    std::vector<std::string> recorded() const;
    void record(const std::string& text);
    int connections() const { return accepted_; }

private:
    void serve(int max_connections);

    script run_;
    melvox::net::socket_handle listener_ = melvox::net::no_socket;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> recorded_;
    std::thread thread_;
};

// A free TCP or UDP port on 127.0.0.1 (bound, read and released).
uint16_t free_port(bool datagram);

// Blocks until the test's own deadline; stands for a server that stalls.
void stall_for_ms(int ms);

} // namespace net_test
