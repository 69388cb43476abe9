// The stream buffer: a ring filled ahead of playback from a stream source and
// refilled a little on each read, with its underflow and forced-fill rules.
#pragma once

#include "icy_metadata.h"
#include "stream_settings.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
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
    // The body begins now (the stall clock starts); it ends after exactly
    // this many bytes (a Content-Length or an FTP size; 0: unknown), and ends
    // cut short when the source ends before.
    void start_stream(uint64_t length);
    // A source that gives nothing for this long ends the stream (negative:
    // never): a stalled byte stream with error_timeout, a datagram stream as
    // its normal end, since datagrams have no other.
    void set_stall_limit(int time_ms) { stall_limit_ms_ = time_ms; }

    // Delivers exactly n bytes, or error_timeout while refilling (the caller
    // repeats), or error_end_of_input_stream once the ended stream has fewer
    // than n bytes left; a stream that ended by a fault then tells the
    // reporter its error, once. A read that the ring could never hold is
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
    // error_end_of_input_stream for a whole stream, else the fault's code.
    int end_code() const { return end_code_; }

private:
    void deliver(uint8_t* out, size_t n, net_reporter& reporter);
    void end(int code, const char* why, std::string detail, net_reporter& reporter);
    // What a receive that gave nothing means: waiting on, or the stall limit.
    void waited(const stream_source& source, net_reporter& reporter);
    int end_of_stream(net_reporter& reporter);

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
    uint64_t expected_ = 0;
    uint64_t received_ = 0;
    int stall_limit_ms_ = -1;
    std::chrono::steady_clock::time_point last_data_;
    int end_code_ = 0;
    const char* end_reason_ = "";
    std::string end_detail_;
    bool end_told_ = false;
};

} // namespace melvox::net
