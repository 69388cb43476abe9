// The parts of the socket layer that are built only on the other socket calls,
// and so are the same on every platform.
#include "deadline.h"
#include "socket.h"

#include "melvox.h"

#include <cstring>

namespace melvox::net {

int connect_stream(const char* host, uint16_t port, int time_ms, socket_handle* out)
{
    deadline limit(time_ms);
    ipv4_address address = 0;
    int result = resolve_host(host, time_ms, &address);
    if (result < 0)
        return result;
    return connect_stream(address, port, limit.remaining_ms(), out);
}

int send_all(socket_handle s, const char* text)
{
    return send_all(s, text, std::strlen(text));
}

int read_line(socket_handle s, char* buffer, size_t capacity, int time_ms)
{
    if (buffer == nullptr || capacity == 0)
        return error_invalid_parameters;
    deadline limit(time_ms);
    size_t length = 0;
    bool cut = false;
    for (;;) {
        char c;
        int got = receive(s, &c, 1, limit.remaining_ms());
        if (got < 0) {
            buffer[length] = '\0';
            return got;
        }
        if (c == '\n')
            break;
        if (c == '\r')
            continue;
        if (length + 1 < capacity)
            buffer[length++] = c;
        else
            cut = true;
    }
    buffer[length] = '\0';
    return cut ? int(capacity) : int(length);
}

} // namespace melvox::net
