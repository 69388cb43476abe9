// The Linux transport: the decoder side is a child process and the feedback
// side its child; messages travel as frames on pipes.
#include "transport/posix/caller_channel_posix.h"
#include "transport/channel.h"
#include "transport/posix/pipe_frames_posix.h"
#include "transport/posix/process_control_posix.h"

#include <cerrno>
#include <csignal>
#include <deque>
#include <new>
#include <thread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace melvox {
namespace {

using namespace std::chrono_literals;

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
        reap_child(feedback_, std::chrono::milliseconds(timeout_ms), [](channel_clock::duration d) {
            std::this_thread::sleep_for(std::min<channel_clock::duration>(d, 1ms));
        });
        feedback_ = 0;
    }

private:
    frame_reader incoming_;
    frame_writer to_caller_;
    frame_writer to_feedback_;
    pid_t feedback_;
    received_frame current_;
    std::deque<std::vector<uint8_t>> held_; // taken from the pipe while waiting for input
};

struct pipe_ends {
    int read = -1;
    int write = -1;
};

[[noreturn]] void run_decoder_process(pipe_ends commands, pipe_ends notifications, pipe_ends feedback_commands,
                                      pipe_ends feedback_notifications, const side_loops& loops,
                                      const player_hook_list* hooks)
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
        loops.feedback(channel);
        _exit(0);
    }
    close_all({feedback_commands.read, feedback_notifications.write});
    if (feedback < 0)
        _exit(1); // notify_ready never comes; the caller sees the pipe close
    raise_priority(-20);
    posix_side_channel channel(commands.read, notifications.write, feedback_commands.write, feedback);
    loops.decoder(channel, hooks);
    _exit(0);
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
