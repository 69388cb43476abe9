// The Linux transport: the decoder side is a child process and the feedback
// side its child; messages travel as frames on pipes.
#include "channel.h"
#include "pipe_frames_posix.h"
#include "sides.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <deque>
#include <initializer_list>
#include <new>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace melvox {
namespace {

using namespace std::chrono_literals;

// A child keeps only the descriptors it uses: nothing of the caller's (its
// files, sockets, display connection, other players' pipes) stays open in it.
void close_descriptors(unsigned first, unsigned last)
{
    if (first > last || close_range(first, last, 0) == 0)
        return;
    long long limit = sysconf(_SC_OPEN_MAX);
    for (long long fd = first; fd <= last && fd < limit; ++fd)
        close(static_cast<int>(fd));
}

// Standard input, output and error stay open.
void keep_only_descriptors(std::initializer_list<int> keep)
{
    std::vector<int> kept(keep);
    std::sort(kept.begin(), kept.end());
    unsigned from = 3;
    for (int fd : kept) {
        if (fd < 3)
            continue;
        if (static_cast<unsigned>(fd) > from)
            close_descriptors(from, static_cast<unsigned>(fd) - 1);
        from = static_cast<unsigned>(fd) + 1;
    }
    close_descriptors(from, ~0u);
}

// A child starts with default signal handling (the caller's handlers are not
// its own) and ignores SIGPIPE, so a peer that has gone is a write error.
void reset_signals()
{
    for (int s = 1; s < NSIG; ++s)
        signal(s, s == SIGPIPE ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Asks for a higher scheduling priority; without the privilege it stays.
void raise_priority(int increment)
{
    errno = 0;
    [[maybe_unused]] int ignored = nice(increment);
}

// Waits up to timeout for child to end, then ends it by force; reaps it.
// While waiting, drain() may keep the child from blocking on a full pipe.
template <typename Drain>
void reap_child(pid_t child, std::chrono::milliseconds timeout, Drain drain)
{
    auto deadline = channel_clock::now() + timeout;
    for (;;) {
        int status;
        pid_t r = waitpid(child, &status, WNOHANG);
        if (r == child || (r < 0 && errno != EINTR))
            return; // ended, or reaped elsewhere
        if (channel_clock::now() >= deadline)
            break;
        drain(std::min<channel_clock::duration>(deadline - channel_clock::now(), 5ms));
    }
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// The decoder's and the feedback side's endpoint: one incoming pipe, one
// towards the caller and, for the decoder, one towards the feedback side.
class posix_side_channel final : public decoder_channel {
public:
    posix_side_channel(int incoming, int to_caller, int to_feedback, pid_t feedback)
        : incoming_(incoming), to_caller_(to_caller, false), to_feedback_(to_feedback, false), feedback_(feedback)
    {
        current_.bytes.reserve(frame_buffer_size);
    }

    int post(const player_message& m) override { return to_caller_.post(m); }

    int receive(player_message& out, long long timeout_us) override
    {
        watched_reader readers[] = {{&incoming_, true}};
        size_t source;
        int r = receive_frame(readers, deadline_after_us(timeout_us), current_.bytes, source);
        if (r < 0)
            return r;
        r = decode_frame(current_, out);
        return r < 0 ? r : 1;
    }

    int post_to_feedback(const player_message& m) override
    {
        return to_feedback_.fd() < 0 ? error_internal : to_feedback_.post(m);
    }

    void end_feedback(int timeout_ms) override
    {
        if (feedback_ <= 0)
            return;
        player_message exit{};
        exit.code = command_feedback_exit;
        to_feedback_.post(exit);
        to_feedback_.close(); // its end of input ends it too
        reap_child(feedback_, std::chrono::milliseconds(timeout_ms),
                   [](channel_clock::duration d) { std::this_thread::sleep_for(std::min<channel_clock::duration>(d, 1ms)); });
        feedback_ = 0;
    }

private:
    frame_reader incoming_;
    frame_writer to_caller_;
    frame_writer to_feedback_;
    pid_t feedback_;
    received_frame current_;
};

class posix_caller_channel final : public caller_channel {
public:
    posix_caller_channel(pid_t decoder, int to_decoder, int from_decoder, int from_feedback)
        : decoder_pid_(decoder), to_decoder_(to_decoder, true), from_decoder_(from_decoder),
          from_feedback_(from_feedback)
    {
        current_.bytes.reserve(frame_buffer_size);
        // The caller never blocks on a full command pipe: while it waits for
        // room it keeps taking notifications, so a decoder side blocked on
        // sending them to a caller that sends without reading can go on.
        fcntl(to_decoder, F_SETFL, fcntl(to_decoder, F_GETFL) | O_NONBLOCK);
    }

    ~posix_caller_channel() override
    {
        if (decoder_pid_ > 0)
            shut_down(side_end_timeout_ms);
    }

    int post(const player_message& m) override
    {
        // Once the decoder side is known to have ended, nothing more is
        // written into a process that may still be closing its pipes.
        if (decoder_ended_)
            return error_pipe_closed;
        return to_decoder_.post(m, &when_full_);
    }

    int receive(player_message& out, long long timeout_us) override;
    int sync(uint32_t tag, int timeout_ms) override;
    void shut_down(int timeout_ms) override;

private:
    enum source { from_decoder, from_feedback };
    struct kept_frame {
        source from;
        std::vector<uint8_t> bytes;
    };

    // Reads the next frame from the decoder (unless skip_decoder) or the feedback side.
    int read_frame(const channel_deadline& deadline, bool skip_decoder, kept_frame& frame);
    // Waits until the command pipe has room, keeping what arrives meanwhile.
    int wait_for_room();
    // Waits up to wait for notifications and drops them.
    void discard_incoming(channel_clock::duration wait);

    pid_t decoder_pid_;
    frame_writer to_decoder_;
    frame_reader from_decoder_;
    frame_reader from_feedback_;
    std::deque<kept_frame> kept_; // taken off the pipes while syncing, not yet delivered
    bool exited_held_ = false;
    bool decoder_ended_ = false; // notify_exited taken, or its pipe at its end
    received_frame current_;
    pipe_full_handler when_full_ = [this] { return wait_for_room(); };
};

int posix_caller_channel::read_frame(const channel_deadline& deadline, bool skip_decoder, kept_frame& frame)
{
    watched_reader both[] = {{&from_decoder_, true}, {&from_feedback_, false}};
    std::span<const watched_reader> readers(both);
    // Once the decoder side's end has been reported, only the feedback side is left.
    if (skip_decoder || from_decoder_.closed())
        readers = readers.subspan(1);
    size_t index = 0;
    int r = receive_frame(readers, deadline, frame.bytes, index);
    frame.from = readers[index].reader == &from_decoder_ ? from_decoder : from_feedback;
    return r;
}

int posix_caller_channel::receive(player_message& out, long long timeout_us)
{
    channel_deadline deadline = deadline_after_us(timeout_us);
    for (;;) {
        kept_frame frame;
        if (!kept_.empty()) {
            frame = std::move(kept_.front());
            kept_.pop_front();
        } else if (exited_held_ && from_feedback_.closed()) {
            exited_held_ = false;
            decoder_ended_ = true;
            out = player_message{};
            out.code = notify_exited;
            return 1;
        } else {
            int r = read_frame(deadline, exited_held_, frame);
            if (r == error_pipe_closed && exited_held_)
                continue; // the feedback side has ended: notify_exited is due
            decoder_ended_ = decoder_ended_ || from_decoder_.closed();
            if (r < 0)
                return r;
        }
        if (frame.from == from_decoder && frame.bytes[0] == command_sync)
            continue; // the answer to a sync that stopped waiting
        // notify_exited is the last notification: the feedback side's own
        // answers, still on their pipe, go first.
        if (frame.from == from_decoder && frame.bytes[0] == notify_exited) {
            if (!from_feedback_.closed()) {
                exited_held_ = true;
                continue;
            }
            decoder_ended_ = true;
        }
        current_.bytes = std::move(frame.bytes);
        int r = decode_frame(current_, out);
        return r < 0 ? r : 1;
    }
}

int posix_caller_channel::sync(uint32_t tag, int timeout_ms)
{
    if (exited_held_ || decoder_ended_)
        return error_pipe_closed;
    player_message m{};
    m.code = command_sync;
    player_message_set_word(&m, 4, tag);
    if (int r = post(m); r < 0)
        return r;
    channel_deadline deadline = deadline_after_us(timeout_ms < 0 ? -1 : timeout_ms * 1000LL);
    for (;;) {
        if (from_decoder_.closed()) {
            decoder_ended_ = true;
            return error_pipe_closed;
        }
        kept_frame frame;
        int r = read_frame(deadline, false, frame);
        if (r == error_invalid_message)
            continue;
        if (r < 0)
            return r;
        if (frame.from == from_decoder && frame.bytes[0] == command_sync) {
            player_message answer;
            received_frame decoded{std::move(frame.bytes), {}};
            if (decode_frame(decoded, answer) == 0 && player_message_word(&answer, 4) == tag)
                return 0;
            continue;
        }
        // Everything else waits for receive, in the order it came.
        kept_.push_back(std::move(frame));
    }
}

int posix_caller_channel::wait_for_room()
{
    std::vector<pollfd> watched{{to_decoder_.fd(), POLLOUT, 0}};
    std::vector<std::pair<frame_reader*, source>> readers;
    for (auto [reader, from] : {std::pair{&from_decoder_, from_decoder}, std::pair{&from_feedback_, from_feedback}})
        if (!reader->closed()) {
            watched.push_back({reader->fd(), POLLIN, 0});
            readers.emplace_back(reader, from);
        }
    if (poll(watched.data(), watched.size(), -1) < 0)
        return errno == EINTR ? 0 : error_select_failed;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t i = 0; i < readers.size(); ++i) {
        if (watched[i + 1].revents == 0)
            continue;
        frames.clear();
        readers[i].first->collect_frames(frames);
        for (std::vector<uint8_t>& f : frames)
            kept_.push_back({readers[i].second, std::move(f)});
    }
    return 0; // room, or an error that the next write reports
}

void posix_caller_channel::discard_incoming(channel_clock::duration wait)
{
    std::vector<int> fds;
    std::vector<frame_reader*> owners;
    for (frame_reader* r : {&from_decoder_, &from_feedback_})
        if (!r->closed()) {
            fds.push_back(r->fd());
            owners.push_back(r);
        }
    std::vector<bool> ready;
    if (wait_readable(fds, channel_clock::now() + wait, ready) <= 0)
        return;
    std::vector<std::vector<uint8_t>> dropped;
    for (size_t i = 0; i < fds.size(); ++i)
        if (ready[i])
            owners[i]->collect_frames(dropped);
}

void posix_caller_channel::shut_down(int timeout_ms)
{
    if (decoder_pid_ <= 0)
        return;
    // A decoder side that takes no commands may have let the pipe fill up:
    // the exit command is then dropped rather than waited for.
    player_message exit{};
    exit.code = command_exit;
    to_decoder_.post(exit);
    // Notifications nobody will take are read and dropped, so that a decoder
    // blocked on a full pipe can still reach its end.
    reap_child(decoder_pid_, std::chrono::milliseconds(timeout_ms),
               [this](channel_clock::duration d) { discard_incoming(d); });
    decoder_pid_ = 0;
    to_decoder_.close();
    kept_.clear();
}

void close_all(std::initializer_list<int> fds)
{
    for (int fd : fds)
        if (fd >= 0)
            close(fd);
}

struct pipe_ends {
    int read = -1;
    int write = -1;
};

[[noreturn]] void run_decoder_process(pipe_ends commands, pipe_ends notifications, pipe_ends feedback_commands,
                                      pipe_ends feedback_notifications, const player_hook_list* hooks)
{
    reset_signals();
    keep_only_descriptors({commands.read, notifications.write, feedback_commands.read, feedback_commands.write,
                           feedback_notifications.write});
    pid_t decoder = getpid();
    pid_t feedback = fork();
    if (feedback == 0) {
        // The feedback side lives no longer than its decoder side.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != decoder)
            _exit(0);
        keep_only_descriptors({feedback_commands.read, feedback_notifications.write});
        raise_priority(-10);
        posix_side_channel channel(feedback_commands.read, feedback_notifications.write, -1, 0);
        run_feedback(channel);
        _exit(0);
    }
    close_all({feedback_commands.read, feedback_notifications.write});
    if (feedback < 0)
        _exit(1); // notify_ready never comes; the caller sees the pipe close
    raise_priority(-20);
    posix_side_channel channel(commands.read, notifications.write, feedback_commands.write, feedback);
    run_decoder(channel, hooks);
    _exit(0);
}

} // namespace

int start_player_sides(const player_hook_list* hooks, std::unique_ptr<caller_channel>& out)
{
    pipe_ends pipes[4];
    for (pipe_ends& p : pipes) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            for (pipe_ends& q : pipes)
                close_all({q.read, q.write});
            return error_pipe_failed;
        }
        p = {fds[0], fds[1]};
    }
    auto& [commands, notifications, feedback_commands, feedback_notifications] = pipes;
    pid_t decoder = fork();
    if (decoder == 0)
        run_decoder_process(commands, notifications, feedback_commands, feedback_notifications, hooks);
    close_all({commands.read, notifications.write, feedback_commands.read, feedback_commands.write,
               feedback_notifications.write});
    if (decoder < 0) {
        close_all({commands.write, notifications.read, feedback_notifications.read});
        return error_fork_failed;
    }
    try {
        out = std::make_unique<posix_caller_channel>(decoder, commands.write, notifications.read,
                                                     feedback_notifications.read);
    } catch (const std::bad_alloc&) {
        close_all({notifications.read, feedback_notifications.read});
        // Its end of input ends the decoder side.
        close(commands.write);
        while (waitpid(decoder, nullptr, 0) < 0 && errno == EINTR) {
        }
        return error_out_of_memory;
    }
    return 0;
}

} // namespace melvox
