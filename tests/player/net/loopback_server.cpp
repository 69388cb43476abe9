#include "loopback_server.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace net_test {

namespace {

constexpr int wait_ms = 5000;

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

bool readable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

} // namespace

std::string peer::read_request()
{
    std::string text;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    while (text.find("\r\n\r\n") == std::string::npos && text.size() < 65536) {
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        char c;
        if (left <= 0 || !readable(fd_, left) || recv(fd_, &c, 1, 0) != 1)
            break;
        text += c;
    }
    return text;
}

std::string peer::read_line()
{
    std::string text;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    while (!text.ends_with("\r\n") && text.size() < 65536) {
        int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count());
        char c;
        if (left <= 0 || !readable(fd_, left) || recv(fd_, &c, 1, 0) != 1)
            return text;
        text += c;
    }
    text.resize(text.size() - 2);
    return text;
}

void peer::send(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}

void peer::reset()
{
    linger l{1, 0};
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    close(fd_);
    fd_ = -1;
}

loopback_server::loopback_server(script run, int max_connections) : run_(std::move(run))
{
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a = loopback(0);
    bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listener_, 8);
    socklen_t length = sizeof a;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, max_connections] { serve(max_connections); });
}

loopback_server::~loopback_server()
{
    stopping_ = true;
    thread_.join();
    close(listener_);
}

void loopback_server::serve(int max_connections)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int index = 0; index < max_connections && !stopping_ && std::chrono::steady_clock::now() < end;) {
        if (!readable(listener_, 50))
            continue;
        int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++accepted_;
        peer p(fd);
        run_(p, index++);
        if (p.fd() >= 0)
            close(p.fd());
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
    int fd = socket(AF_INET, datagram ? SOCK_DGRAM : SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    close(fd);
    return ntohs(a.sin_port);
}

void stall_for_ms(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace net_test
