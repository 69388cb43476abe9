// The Linux transport: the decoder side is a child process and the feedback
// side its child; messages travel as frames on pipes.
#include "transport/posix/caller_channel_posix.h"
#include "messages/message_layouts.h"
#include "transport/channel.h"
#include "transport/posix/pipe_frames_posix.h"
#include "transport/posix/process_control_posix.h"

#include <cerrno>
#include <csignal>
#include <deque>
#include <new>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace melvox {
namespace {

using namespace std::chrono_literals;

struct pipe_ends {
    int read = -1;
    int write = -1;
};

// The feedback side's process, started from the decoder side the first time
// the caller asks the feedback side for something: until then it has no
// handler and nothing queued, so what the decoder side would tell it (time
// stamps, pause and resume, flushes, events) changes nothing and is dropped,
// and a player whose caller wants no feedback never starts the process.
class feedback_process {
public:
    feedback_process(pipe_ends commands, int notifications, const side_loops& loops, int caller_niceness)
        : commands_(commands), notifications_(notifications), loops_(&loops), caller_niceness_(caller_niceness)
    {
    }

    bool forked() const { return forked_; }
    bool wanted(const player_message& m) const { return route_of(static_cast<int>(m.code)) == message_route::feedback; }

    // Forks the feedback side; returns the descriptor that posts to it.
    int start()
    {
        pid_t decoder = getpid();
        pid_t feedback = fork();
        if (feedback == 0) {
            // The feedback side lives no longer than its decoder side.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != decoder)
                _exit(0);
            keep_only_descriptors({commands_.read, notifications_});
            // Above the caller, below the decoder side (without the privilege
            // it stays at the decoder side's level, the caller's).
            setpriority(PRIO_PROCESS, 0, caller_niceness_ - 10);
            posix_side_channel_loop(commands_.read, notifications_, *loops_);
            end_child_process();
        }
        if (feedback < 0)
            return error_fork_failed;
        close_all({commands_.read, notifications_});
        forked_ = true;
        pid_ = feedback;
        return commands_.write;
    }

    pid_t pid() const { return pid_; }
    void forget() { pid_ = 0; }

    // Where the process never started, its pipes end with the decoder side
    // (once started, the posting end belongs to the decoder side's writer).
    ~feedback_process()
    {
        if (!forked_)
            close_all({commands_.read, commands_.write, notifications_});
    }

private:
    static void posix_side_channel_loop(int incoming, int to_caller, const side_loops& loops);

    pipe_ends commands_;
    int notifications_;
    const side_loops* loops_;
    int caller_niceness_;
    bool forked_ = false;
    pid_t pid_ = 0;
};

// The decoder's and the feedback side's endpoint: one incoming pipe, one
// towards the caller and, for the decoder, the feedback side's process.
class posix_side_channel final : public decoder_channel {
public:
    posix_side_channel(int incoming, int to_caller, feedback_process* feedback)
        : incoming_(incoming), to_caller_(to_caller, false), feedback_(feedback)
    {
        current_.bytes.reserve(frame_buffer_size);
    }

    int post(const player_message& m) override { return to_caller_.post(m); }

    int receive(player_message& out, long long timeout_us) override
    {
        if (!held_.empty()) {
            current_.bytes = std::move(held_.front());
            held_.pop_front();
        } else {
            watched_reader readers[] = {{&incoming_, true}};
            size_t source;
            int r = receive_frame(readers, deadline_after_us(timeout_us), current_.bytes, source);
            if (r < 0)
                return r;
        }
        int r = decode_frame(current_, out);
        return r < 0 ? r : 1;
    }

    int wait_for_input(int descriptor, bool (*ends_wait)(int code)) override
    {
        std::vector<bool> ready;
        for (;;) {
            for (const std::vector<uint8_t>& frame : held_)
                if (ends_wait(frame[0]))
                    return error_timeout;
            if (incoming_.closed())
                return error_timeout;
            int fds[] = {descriptor, incoming_.fd()};
            if (int r = wait_readable(fds, std::nullopt, ready); r < 0)
                return r;
            if (ready[1]) {
                // Whole frames move to the held ones, so that the queue
                // always has room for more.
                if (int r = incoming_.fill(); r < 0)
                    return error_timeout;
                std::vector<uint8_t> frame;
                for (int r; (r = incoming_.next_frame(frame)) != 0;)
                    if (r == 1)
                        held_.push_back(std::move(frame));
                continue; // a message that ends the wait comes before the input
            }
            if (ready[0])
                return 0;
        }
    }

    int post_to_feedback(const player_message& m) override
    {
        if (feedback_ == nullptr)
            return error_internal;
        if (!feedback_->forked()) {
            if (!feedback_->wanted(m))
                return 0;
            int fd = feedback_->start();
            if (fd < 0)
                return fd;
            to_feedback_.emplace(fd, false);
        }
        return to_feedback_ ? to_feedback_->post(m) : error_internal;
    }

    void end_feedback(int timeout_ms) override
    {
        if (feedback_ == nullptr || !to_feedback_)
            return;
        player_message exit{};
        exit.code = command_feedback_exit;
        to_feedback_->post(exit);
        to_feedback_.reset(); // its end of input ends it too
        reap_child(feedback_->pid(), std::chrono::milliseconds(timeout_ms), [](channel_clock::duration d) {
            std::this_thread::sleep_for(std::min<channel_clock::duration>(d, 1ms));
        });
        feedback_->forget();
    }

private:
    frame_reader incoming_;
    frame_writer to_caller_;
    std::optional<frame_writer> to_feedback_;
    feedback_process* feedback_;
    received_frame current_;
    std::deque<std::vector<uint8_t>> held_; // taken from the pipe while waiting for input
};

void feedback_process::posix_side_channel_loop(int incoming, int to_caller, const side_loops& loops)
{
    posix_side_channel channel(incoming, to_caller, nullptr);
    loops.feedback(channel);
}

[[noreturn]] void run_decoder_process(pipe_ends commands, pipe_ends notifications, pipe_ends feedback_commands,
                                      pipe_ends feedback_notifications, const side_loops& loops,
                                      const player_hook_list* hooks)
{
    reset_signals();
    keep_only_descriptors({commands.read, notifications.write, feedback_commands.read, feedback_commands.write,
                           feedback_notifications.write});
    errno = 0;
    int caller_niceness = getpriority(PRIO_PROCESS, 0);
    raise_priority(-20);
    feedback_process feedback(feedback_commands, feedback_notifications.write, loops, caller_niceness);
    posix_side_channel channel(commands.read, notifications.write, &feedback);
    loops.decoder(channel, hooks);
    end_child_process();
}

} // namespace

int start_player_sides(const side_loops& loops, const player_hook_list* hooks, void*,
                       std::unique_ptr<caller_channel>& out)
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
        run_decoder_process(commands, notifications, feedback_commands, feedback_notifications, loops, hooks);
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
