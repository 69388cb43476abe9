#include "stream_settings.h"

#include <algorithm>
#include <climits>

namespace melvox::net {

namespace {

// Rings beyond this would be refused by most machines anyway.
constexpr int32_t largest_buffer = 256 * 1024 * 1024;

void read_integer(const environment_reader& environment, const char* name, int32_t low, int32_t high, int32_t* value)
{
    int32_t read = 0;
    if (environment.get_integer(name, &read) == 0 && read >= low && read <= high)
        *value = read;
}

} // namespace

stream_settings read_stream_settings(const environment_reader& environment)
{
    stream_settings s;
    read_integer(environment, "INPUT.STREAM.BUFFER-SIZE", 2, largest_buffer, &s.buffer_size);
    read_integer(environment, "INPUT.STREAM.MAX-PACKET-SIZE", 1, largest_buffer, &s.max_packet_size);
    read_integer(environment, "INPUT.STREAM.HIGH-MARK", 0, largest_buffer, &s.high_mark);
    read_integer(environment, "INPUT.STREAM.READ-TIMEOUT", 0, 3600 * 1000, &s.read_timeout);
    read_integer(environment, "INPUT.STREAM.MAX-ACCU", 0, largest_buffer, &s.max_accu);
    read_integer(environment, "INPUT.STREAM.FORCE-FILL-ZONE", 0, largest_buffer, &s.force_fill_zone);
    int32_t accept = s.accept_icy ? 1 : 0;
    read_integer(environment, "INPUT.STREAM.ACCEPT-ICY", 0, 1, &accept);
    s.accept_icy = accept == 1;
    return fitted(s);
}

int32_t read_network_read_limit(const environment_reader& environment)
{
    int32_t limit = default_read_limit;
    read_integer(environment, "NETWORK.READ-TIMEOUT", 1, INT32_MAX, &limit);
    return limit;
}

stream_settings fitted(stream_settings s)
{
    s.buffer_size = std::clamp(s.buffer_size, 2, largest_buffer);
    s.max_packet_size = std::clamp(s.max_packet_size, 1, s.buffer_size / 2);
    s.high_mark = std::clamp(s.high_mark, 0, s.buffer_size - s.max_packet_size);
    s.read_timeout = std::max(s.read_timeout, 0);
    s.max_accu = std::max(s.max_accu, 0);
    s.force_fill_zone = std::max(s.force_fill_zone, 0);
    return s;
}

} // namespace melvox::net
