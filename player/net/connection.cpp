#include "connection.h"

#include "net_reporter.h"

#include <string>

namespace melvox::net {

int net_connection::receive(void* buffer, size_t size, int time_ms)
{
    if (tls)
        return tls->receive(buffer, size, time_ms);
    if (!datagram)
        return net::receive(stream, buffer, size, time_ms);
    size_t full = 0;
    int got = receive_datagram(stream, buffer, size, time_ms, &full);
    if (got >= 0 && full > size && reporter != nullptr)
        reporter->message(0, "datagram larger than packet size, cut",
                          (std::to_string(full) + " bytes, kept " + std::to_string(size)).c_str());
    return got;
}

int net_connection::send(const void* data, size_t size)
{
    return tls ? tls->send_all(data, size) : send_all(stream, data, size);
}

int net_connection::read_line(char* buffer, size_t capacity, int time_ms)
{
    auto from_stream = [](void* source, void* bytes, size_t size, int ms) {
        return static_cast<net_connection*>(source)->receive(bytes, size, ms);
    };
    return net::read_line(from_stream, this, buffer, capacity, time_ms);
}

void net_connection::take_stream(net_connection& other)
{
    close();
    tls = std::move(other.tls);
    stream = other.stream;
    other.stream = no_socket;
}

void net_connection::close()
{
    tls.reset(); // before its socket

    close_socket(stream);
    close_socket(control);
    close_socket(listener);
    stream = control = listener = no_socket;
    datagram = false;
}

} // namespace melvox::net
