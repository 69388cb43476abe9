#include "transport/posix/pipe_frames_posix.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>

#include <pthread.h>
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

namespace melvox {

channel_deadline deadline_after_us(long long timeout_us)
{
    if (timeout_us < 0)
        return std::nullopt;
    return channel_clock::now() + std::chrono::microseconds(timeout_us);
}

int write_all(int fd, const uint8_t* data, size_t size, bool guard_sigpipe, const pipe_full_handler* when_full)
{
    sigset_t pipe_only, previous;
    bool was_pending = false;
    if (guard_sigpipe) {
        sigemptyset(&pipe_only);
        sigaddset(&pipe_only, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_only, &previous);
        sigset_t pending;
        sigpending(&pending);
        was_pending = sigismember(&pending, SIGPIPE) == 1;
    }
    int result = 0;
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n == 0) {
            result = error_pipe_closed;
            break;
        }
        if (errno == EINTR)
            continue;
        if ((errno == EAGAIN || errno == EWOULDBLOCK) && when_full != nullptr) {
            result = (*when_full)();
            if (result < 0)
                break;
            continue;
        }
        if (guard_sigpipe && errno == EPIPE && !was_pending) {
            // Take back the SIGPIPE that this write raised while it was blocked.
            timespec no_wait{};
            sigtimedwait(&pipe_only, nullptr, &no_wait);
        }
        result = error_pipe_write_failed;
        break;
    }
    if (guard_sigpipe)
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return result;
}

frame_writer::frame_writer(int fd, bool guard_sigpipe) : fd_(fd), guard_sigpipe_(guard_sigpipe)
{
    buffer_.reserve(1024);
}

frame_writer::~frame_writer()
{
    close();
}

void frame_writer::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

int frame_writer::post(const player_message& m, const pipe_full_handler* when_full)
{
    if (fd_ < 0)
        return error_pipe_closed;
    if (int r = encode_frame(m, buffer_); r < 0)
        return r;
    return write_all(fd_, buffer_.data(), buffer_.size(), guard_sigpipe_, when_full);
}

frame_reader::frame_reader(int fd) : fd_(fd), closed_(fd < 0) {}

frame_reader::~frame_reader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void frame_reader::skip_queued()
{
    size_t n = static_cast<size_t>(std::min<uint64_t>(skip_, queue_.size()));
    queue_.drop(n);
    skip_ -= n;
}

int frame_reader::next_frame(std::vector<uint8_t>& out)
{
    if (skip_ > 0 || queue_.size() < frame_header_size)
        return 0;
    uint8_t header[frame_header_size];
    queue_.peek(header, frame_header_size);
    uint64_t length = frame_length(header);
    if (length < frame_header_size || length > receive_queue_size) {
        skip_ = std::max<uint64_t>(length, frame_header_size);
        skip_queued();
        return error_invalid_message;
    }
    if (queue_.size() < length)
        return 0;
    out.resize(length);
    queue_.peek(out.data(), length);
    queue_.drop(length);
    return 1;
}

void frame_reader::collect_frames(std::vector<std::vector<uint8_t>>& out)
{
    fill();
    std::vector<uint8_t> frame;
    for (int r; (r = next_frame(frame)) != 0;)
        if (r == 1)
            out.push_back(std::move(frame));
}

int frame_reader::fill()
{
    if (closed_)
        return error_pipe_closed;
    if (queue_.room() == 0)
        return error_circular_queue_full;
    auto space = queue_.free_space();
    iovec pieces[2] = {{space[0].data(), space[0].size()}, {space[1].data(), space[1].size()}};
    ssize_t n = readv(fd_, pieces, space[1].empty() ? 1 : 2);
    if (n == 0) {
        closed_ = true;
        return error_pipe_closed;
    }
    if (n < 0)
        return errno == EINTR || errno == EAGAIN ? 0 : error_pipe_read_failed;
    queue_.commit(static_cast<size_t>(n));
    skip_queued();
    return static_cast<int>(n);
}

int wait_readable(std::span<const int> fds, const channel_deadline& deadline, std::vector<bool>& ready)
{
    // poll rather than select: select cannot watch descriptors numbered from
    // FD_SETSIZE up, which a caller with many open files hands out.
    std::vector<pollfd> watched;
    for (int fd : fds)
        watched.push_back({fd, POLLIN, 0});
    for (;;) {
        int limit_ms = -1;
        if (deadline) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - channel_clock::now());
            limit_ms = static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
        }
        int n = poll(watched.data(), watched.size(), limit_ms);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return error_select_failed;
        ready.assign(fds.size(), false);
        for (size_t i = 0; i < fds.size(); ++i)
            ready[i] = watched[i].revents != 0; // data, or the writer's end (POLLHUP)
        return n;
    }
}

int receive_frame(std::span<const watched_reader> readers, const channel_deadline& deadline,
                  std::vector<uint8_t>& frame, size_t& source)
{
    std::vector<int> fds;
    std::vector<size_t> fd_owner;
    std::vector<bool> ready;
    for (;;) {
        // Whole frames already queued come first.
        for (size_t i = 0; i < readers.size(); ++i) {
            int r = readers[i].reader->next_frame(frame);
            if (r != 0) {
                source = i;
                return r;
            }
        }
        fds.clear();
        fd_owner.clear();
        for (size_t i = 0; i < readers.size(); ++i)
            if (!readers[i].reader->closed()) {
                fds.push_back(readers[i].reader->fd());
                fd_owner.push_back(i);
            }
        if (fds.empty())
            return error_pipe_closed;
        int n = wait_readable(fds, deadline, ready);
        if (n < 0)
            return n;
        if (n == 0)
            return error_timeout;
        for (size_t k = 0; k < fds.size(); ++k) {
            if (!ready[k])
                continue;
            const watched_reader& w = readers[fd_owner[k]];
            int r = w.reader->fill();
            if (r == error_pipe_closed && !w.end_is_error)
                continue;
            if (r < 0)
                return r;
        }
    }
}

} // namespace melvox
