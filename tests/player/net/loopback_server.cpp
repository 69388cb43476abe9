#include "loopback_server.h"

#include "deadline.h"
#include "test_sockets.h"

#include <chrono>

using namespace melvox::net;

namespace net_test {

namespace {

constexpr int wait_ms = 5000;

// Reads byte by byte until the text ends with end (or 64 KiB), within the
// shared wait; false when the peer stopped or the time ran out first.
bool read_until(socket_handle s, std::string& text, const std::string& end)
{
    deadline limit(wait_ms);
    while (!text.ends_with(end) && text.size() < 65536) {
        char c;
        if (receive(s, &c, 1, limit.remaining_ms()) != 1)
            return false;
        text += c;
    }
    return text.ends_with(end);
}

} // namespace

std::string peer::read_request()
{
    std::string text;
    read_until(socket_, text, "\r\n\r\n");
    return text;
}

std::string peer::read_line()
{
    std::string text;
    if (read_until(socket_, text, "\r\n"))
        text.resize(text.size() - 2);
    return text;
}

void peer::send(const std::string& bytes)
{
    send_all(socket_, bytes.data(), bytes.size());
}

void peer::drip(int ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end && send_all(socket_, "x", 1) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void peer::reset()
{
    reset_connection(socket_);
    socket_ = no_socket;
}

loopback_server::loopback_server(script run, int max_connections) : run_(std::move(run))
{
    listener_ = open_loopback(false, 0, 8, &port_);
    thread_ = std::thread([this, max_connections] { serve(max_connections); });
}

loopback_server::~loopback_server()
{
    stopping_ = true;
    thread_.join();
    close_socket(listener_);
}

void loopback_server::serve(int max_connections)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int index = 0; index < max_connections && !stopping_ && std::chrono::steady_clock::now() < end;) {
        socket_handle s = no_socket;
        if (accept_stream(listener_, 50, &s) != 0)
            continue;
        ++accepted_;
        peer p(s);
        run_(p, index++);
        close_socket(p.socket());
    }
}

std::string loopback_server::url(const std::string& scheme, const std::string& path) const
{
    return scheme + "://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> loopback_server::recorded() const
{
    std::lock_guard lock(mutex_);
    return recorded_;
}

void loopback_server::record(const std::string& text)
{
    std::lock_guard lock(mutex_);
    recorded_.push_back(text);
}

uint16_t free_port(bool datagram)
{
    uint16_t port = 0;
    close_socket(open_loopback(datagram, 0, 1, &port));
    return port;
}

void stall_for_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace net_test
