#include "connection.h"

#include "net_reporter.h"

#include <string>

namespace melvox::net {

int net_connection::receive(void* buffer, size_t size, int time_ms)
{
    if (!datagram)
        return net::receive(stream, buffer, size, time_ms);
    size_t full = 0;
    int got = receive_datagram(stream, buffer, size, time_ms, &full);
    if (got >= 0 && full > size && reporter != nullptr)
        reporter->message(0, "datagram larger than packet size, cut",
                          (std::to_string(full) + " bytes, kept " + std::to_string(size)).c_str());
    return got;
}

void net_connection::close()
{
    close_socket(stream);
    close_socket(control);
    close_socket(listener);
    stream = control = listener = no_socket;
    datagram = false;
}

} // namespace melvox::net
