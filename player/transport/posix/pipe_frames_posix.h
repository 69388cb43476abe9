// Frames on pipes: whole-frame writes that never raise SIGPIPE in the caller,
// reading into a circular receive queue, and waiting on several pipes at once.
#pragma once

#include "messages/frame_codec.h"
#include "transport/receive_queue.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace melvox {

using channel_clock = std::chrono::steady_clock;
using channel_deadline = std::optional<channel_clock::time_point>; // none: no limit

// The deadline timeout_us microseconds from now; none for a negative timeout.
channel_deadline deadline_after_us(long long timeout_us);

// Called when a non-blocking pipe is full; returns when there may be room
// again, or a negative error to give up.
using pipe_full_handler = std::function<int()>;

// Writes all of data. A reader that has gone gives error_pipe_write_failed;
// with guard_sigpipe the SIGPIPE that the write raises is taken back, so a
// process that keeps the default disposition survives it. A full
// non-blocking pipe calls when_full, or fails without one.
int write_all(int fd, const uint8_t* data, size_t size, bool guard_sigpipe, const pipe_full_handler* when_full);

class frame_writer {
public:
    frame_writer(int fd, bool guard_sigpipe);
    ~frame_writer();
    frame_writer(const frame_writer&) = delete;
    frame_writer& operator=(const frame_writer&) = delete;

    // Encodes m and writes the whole frame.
    int post(const player_message& m, const pipe_full_handler* when_full = nullptr);
    void close();
    int fd() const { return fd_; }

private:
    int fd_;
    bool guard_sigpipe_;
    std::vector<uint8_t> buffer_;
};

class frame_reader {
public:
    explicit frame_reader(int fd);
    ~frame_reader();
    frame_reader(const frame_reader&) = delete;
    frame_reader& operator=(const frame_reader&) = delete;

    int fd() const { return fd_; }
    // The writer has gone and every byte it wrote has been read.
    bool closed() const { return closed_; }

    // Reads once (the pipe must be readable, or at its end) and moves every
    // whole frame then queued to the back of out.
    void collect_frames(std::vector<std::vector<uint8_t>>& out);

    // Moves the next whole frame into out: 1, or 0 when none is complete.
    // A header that announces an impossible length is error_invalid_message;
    // the bytes it announces are skipped as they arrive, so the queue never
    // waits for a frame that cannot fit it.
    int next_frame(std::vector<uint8_t>& out);

    // Reads what the pipe holds into the queue: the number of bytes (0 when
    // interrupted), error_pipe_closed at its end, error_pipe_read_failed,
    // error_circular_queue_full when the queue has no room.
    int fill();

private:
    void skip_queued();

    int fd_;
    receive_queue queue_;
    uint64_t skip_ = 0;
    bool closed_ = false;
};

struct watched_reader {
    frame_reader* reader;
    bool end_is_error; // its end is reported as error_pipe_closed
};

// Waits until one of the open readers has a whole frame and moves it into
// frame, with the reader's index in source. Returns 1, error_timeout at the
// deadline, error_pipe_closed when a reader that reports its end ends or no
// reader is open, or another channel error.
int receive_frame(std::span<const watched_reader> readers, const channel_deadline& deadline,
                  std::vector<uint8_t>& frame, size_t& source);

// Waits until one of fds is readable or the deadline passes. Returns the
// number of ready descriptors (marked in ready by index), 0 at the deadline,
// or error_select_failed.
int wait_readable(std::span<const int> fds, const channel_deadline& deadline, std::vector<bool>& ready);

} // namespace melvox
