// Name lookup with a time limit. The lookup runs in a detached worker thread
// that owns its share of the result; a caller that stops waiting leaves the
// thread to finish alone, so a late answer never touches the caller's state.
#include "socket.h"

#include "melvox.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace melvox::net {

namespace {

struct lookup {
    std::mutex mutex;
    std::condition_variable done_signal;
    bool done = false;
    int result = error_host_unknown;
    ipv4_address address = 0;
};

int system_lookup(const char* host, ipv4_address* out)
{
    if (start_sockets() < 0)
        return error_host_unknown;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    int result = error_host_unknown;
    if (getaddrinfo(host, nullptr, &hints, &answer) == 0 && answer != nullptr) {
        *out = ntohl(reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr);
        result = 0;
    }
    if (answer != nullptr)
        freeaddrinfo(answer);
    return result;
}

std::atomic<name_lookup> current_lookup{system_lookup};

void run_lookup(std::shared_ptr<lookup> shared, std::string host, name_lookup find)
{
    ipv4_address address = 0;
    int result = find(host.c_str(), &address);
    std::lock_guard lock(shared->mutex);
    shared->result = result;
    shared->address = address;
    shared->done = true;
    shared->done_signal.notify_all();
}

// Four decimal numbers 0..255 separated by dots, and nothing else.
bool parse_dotted_quad(const char* text, ipv4_address* out)
{
    ipv4_address address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *text++ != '.')
            return false;
        int digits = 0;
        unsigned value = 0;
        while (*text >= '0' && *text <= '9' && digits < 4) {
            value = value * 10 + unsigned(*text++ - '0');
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        address = address << 8 | value;
    }
    if (*text != '\0')
        return false;
    *out = address;
    return true;
}

} // namespace

name_lookup replace_name_lookup(name_lookup lookup)
{
    return current_lookup.exchange(lookup != nullptr ? lookup : system_lookup);
}

int resolve_host(const char* host, int time_ms, ipv4_address* out)
{
    if (host == nullptr || *host == '\0')
        return error_host_unknown;
    if (parse_dotted_quad(host, out))
        return 0;
    auto shared = std::make_shared<lookup>();
    try {
        std::thread(run_lookup, shared, std::string(host), current_lookup.load()).detach();
    } catch (const std::system_error&) {
        return error_internal;
    }
    std::unique_lock lock(shared->mutex);
    auto finished = [&] { return shared->done; };
    if (time_ms < 0)
        shared->done_signal.wait(lock, finished);
    else if (!shared->done_signal.wait_for(lock, std::chrono::milliseconds(time_ms), finished))
        return error_timeout;
    if (shared->result == 0)
        *out = shared->address;
    return shared->result;
}

} // namespace melvox::net
