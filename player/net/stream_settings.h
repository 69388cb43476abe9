// The INPUT.STREAM settings that a network input reads when it is created.
#pragma once

#include "environment_reader.h"

#include <cstdint>

namespace melvox::net {

struct stream_settings {
    int32_t buffer_size = 131072;   // ring size in bytes
    int32_t max_packet_size = 8192; // largest datagram; spare area behind the ring
    int32_t high_mark = 16384;      // bytes buffered before reading resumes after an underflow
    int32_t read_timeout = 100;     // ms that a read waits while refilling
    int32_t max_accu = 2048;        // bytes read after which a fill is forced
    int32_t force_fill_zone = 2048; // a fill is forced when fewer bytes remain
    // "icy:" URLs are refused unless this is set; the Linux build leaves it
    // off by default.
    bool accept_icy = default_accept_icy;

#ifdef _WIN32
    static constexpr bool default_accept_icy = true;
#else
    static constexpr bool default_accept_icy = false;
#endif
};

// How long a network read may wait for the peer in all, for a reply or for
// more of the stream: "NETWORK.READ-TIMEOUT" in milliseconds when it is set
// and positive, else 20 s. HTTP's own "NETWORK.HTTP.READ-TIMEOUT" comes
// before it for http and icy.
inline constexpr int32_t default_read_limit = 20000;
int32_t read_network_read_limit(const environment_reader& environment);

// Reads "INPUT.STREAM.BUFFER-SIZE", "INPUT.STREAM.MAX-PACKET-SIZE",
// "INPUT.STREAM.HIGH-MARK", "INPUT.STREAM.READ-TIMEOUT",
// "INPUT.STREAM.MAX-ACCU", "INPUT.STREAM.FORCE-FILL-ZONE" and
// "INPUT.STREAM.ACCEPT-ICY" (1 accepts "icy:"). A variable that is unset, not
// an integer or out of range keeps its default; then the sizes are fitted.
stream_settings read_stream_settings(const environment_reader& environment);

// Fits sizes together so that the ring can always reach its marks: the packet
// size at most half the ring, the high mark at most ring - packet size.
stream_settings fitted(stream_settings s);

} // namespace melvox::net
