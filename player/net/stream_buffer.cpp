#include "stream_buffer.h"

#include "connection.h"
#include "melvox.h"
#include "net_reporter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace melvox::net {

int stream_buffer::allocate(const stream_settings& settings)
{
    settings_ = fitted(settings);
    try {
        memory_.assign(size_t(settings_.buffer_size) + size_t(settings_.max_packet_size), 0);
    } catch (const std::bad_alloc&) {
        memory_.clear();
        size_ = 0;
        return error_out_of_memory;
    }
    size_ = size_t(settings_.buffer_size);
    reset();
    return 0;
}

void stream_buffer::reset()
{
    write_ = read_ = 0;
    accumulated_ = 0;
    ended_ = false;
    underflow_ = true;
    threshold_ = size_t(settings_.high_mark);
    icy_.start(0);
    expected_ = received_ = 0;
    last_data_ = std::chrono::steady_clock::now();
    end_code_ = error_end_of_input_stream;
    end_reason_ = "";
    end_detail_.clear();
    end_told_ = false;
}

void stream_buffer::start_stream(uint64_t length)
{
    expected_ = length;
    last_data_ = std::chrono::steady_clock::now();
}

void stream_buffer::end(int code, const char* why, std::string detail, net_reporter& reporter)
{
    ended_ = true;
    end_code_ = code;
    end_reason_ = why;
    end_detail_ = std::move(detail);
    reporter.progress(progress_end_of_stream, 0, "reached end of stream");
}

void stream_buffer::waited(const stream_source& source, net_reporter& reporter)
{
    if (stall_limit_ms_ < 0)
        return;
    auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - last_data_);
    if (quiet.count() < stall_limit_ms_)
        return;
    std::string detail = "nothing received for " + std::to_string(quiet.count()) + " ms";
    if (source.takes_packets()) {
        reporter.message(0, "datagrams stopped, end of stream", detail.c_str());
        end(error_end_of_input_stream, "", "", reporter);
    } else {
        end(error_timeout, "stream stalled", detail, reporter);
    }
}

int stream_buffer::end_of_stream(net_reporter& reporter)
{
    if (end_code_ != error_end_of_input_stream && !end_told_) {
        end_told_ = true;
        reporter.error(end_code_, end_reason_, end_detail_.c_str());
    }
    return error_end_of_input_stream;
}

size_t stream_buffer::contiguous_free() const
{
    if (write_ < read_)
        return read_ - write_ - 1;
    // Up to the end, less the byte that must stay empty when the read
    // position is at the base.
    return size_ - write_ - (read_ == 0 ? 1 : 0);
}

void stream_buffer::fill(int time_ms, stream_source& source, net_reporter& reporter)
{
    size_t packet = size_t(settings_.max_packet_size);
    if (ended_ || size_ == 0)
        return;
    if (free_space() < packet) {
        last_data_ = std::chrono::steady_clock::now(); // not waiting for the source
        return;
    }
    // Near the end of the ring a whole packet may run into the spare area;
    // never more than the free space, so the write position cannot catch up
    // with the read position.
    size_t want = source.takes_packets() ? packet : std::min(std::max(contiguous_free(), packet), free_space());
    // Nothing beyond the announced length is taken: a server that keeps the
    // connection open after it is not waited for.
    if (expected_ > 0 && !source.takes_packets())
        want = size_t(std::min<uint64_t>(want, expected_ - received_));
    uint8_t* base = memory_.data();
    int got = source.receive(base + write_, want, time_ms);
    if (got == error_timeout) {
        waited(source, reporter);
        return;
    }
    if (got < 0) {
        if (expected_ > 0 && received_ < expected_)
            end(got, "stream cut short",
                "received " + std::to_string(received_) + " of " + std::to_string(expected_) + " bytes, " +
                    error_string(got),
                reporter);
        else if (got != error_socket_closed)
            end(got, "stream cut short", error_string(got), reporter); // a reset
        else
            end(error_end_of_input_stream, "", "", reporter);
        return;
    }
    last_data_ = std::chrono::steady_clock::now();
    received_ += uint64_t(got);
    size_t count = size_t(got);
    if (write_ + count > size_)
        std::memcpy(base, base + size_, write_ + count - size_);
    if (icy_.active())
        count = icy_.cut(base, size_, write_, count);
    write_ = (write_ + count) % size_;
    if (got > 0)
        reporter.progress(progress_buffer_fill, int(held() * 100 / size_ + 1), nullptr);
    if (expected_ > 0 && received_ >= expected_ && !source.takes_packets())
        end(error_end_of_input_stream, "", "", reporter);
}

void stream_buffer::deliver(uint8_t* out, size_t n, net_reporter& reporter)
{
    size_t first = std::min(n, size_ - read_);
    std::memcpy(out, memory_.data() + read_, first);
    std::memcpy(out + first, memory_.data(), n - first);
    read_ = (read_ + n) % size_;
    icy_.delivered(n, reporter);
}

int stream_buffer::read(void* out, size_t n, stream_source& source, net_reporter& reporter)
{
    if (size_ == 0 || (n > 0 && out == nullptr) || n > size_ - size_t(settings_.max_packet_size))
        return error_invalid_parameters;
    if (n == 0)
        return 0;
    auto bytes = static_cast<uint8_t*>(out);
    size_t high_mark = size_t(settings_.high_mark);
    size_t h = held();
    if (h < threshold_ || h < n) {
        if (!underflow_) {
            underflow_ = true;
            threshold_ = high_mark;
            reporter.progress(progress_underflow, 0, "buffer underflow");
        }
        if (!ended_) {
            fill(settings_.read_timeout, source, reporter);
            h = held();
            if (h < threshold_ || h < n) {
                int percent = high_mark > 0 ? int(std::min<size_t>(h * 100 / high_mark + 1, 100)) : 100;
                reporter.progress(progress_buffering, percent, nullptr);
                return error_timeout;
            }
        } else if (h < n) {
            return end_of_stream(reporter);
        }
        deliver(bytes, n, reporter);
        return int(n);
    }
    if (underflow_) {
        underflow_ = false;
        threshold_ = 0;
        reporter.progress(progress_buffering, 100, nullptr);
        reporter.progress(progress_refilled, 0, "buffer refilled");
    }
    deliver(bytes, n, reporter);
    if (accumulated_ > size_t(settings_.max_accu) || held() < size_t(settings_.force_fill_zone)) {
        fill(0, source, reporter);
        accumulated_ = 0;
    } else {
        accumulated_ += n;
    }
    return int(n);
}

} // namespace melvox::net
