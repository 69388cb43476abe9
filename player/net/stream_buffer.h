// The stream buffer: a ring filled ahead of playback from a stream source and
// refilled a little on each read, with its underflow and forced-fill rules.
#pragma once

#include "icy_metadata.h"
#include "stream_settings.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melvox::net {

class net_reporter;
class stream_source;

class stream_buffer {
public:
    // Takes the (fitted) settings and allocates the ring and its spare area:
    // error_out_of_memory on failure.
    int allocate(const stream_settings& settings);

    // Empties the ring and starts a new stream: in underflow, threshold at the
    // high mark, not ended, no ICY metadata.
    void reset();
    // Starts cutting ICY metadata with this interval (0: none).
    void set_icy_interval(uint32_t interval) { icy_.start(interval); }

    // Delivers exactly n bytes, or error_timeout while refilling (the caller
    // repeats), or error_end_of_input_stream once the ended stream has fewer
    // than n bytes left. A read that the ring could never hold is
    // error_invalid_parameters.
    int read(void* out, size_t n, stream_source& source, net_reporter& reporter);

    // Receives once from the source, waiting up to time_ms, when there is
    // room for a packet. A source that fails ends the stream.
    void fill(int time_ms, stream_source& source, net_reporter& reporter);

    size_t size() const { return size_; }
    size_t held() const { return write_ >= read_ ? write_ - read_ : size_ - read_ + write_; }
    // One byte always stays empty, so that full and empty differ.
    size_t free_space() const { return size_ - held() - 1; }
    // Free bytes from the write position up to the ring's end or the byte
    // before the read position.
    size_t contiguous_free() const;
    bool ended() const { return ended_; }
    bool in_underflow() const { return underflow_; }

private:
    void deliver(uint8_t* out, size_t n, net_reporter& reporter);

    stream_settings settings_;
    std::vector<uint8_t> memory_; // the ring, then the spare area
    size_t size_ = 0;
    size_t write_ = 0;
    size_t read_ = 0;
    size_t threshold_ = 0;
    size_t accumulated_ = 0;
    bool underflow_ = true;
    bool ended_ = false;
    icy_cutter icy_;
};

} // namespace melvox::net
