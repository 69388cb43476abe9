#include "transport/posix/caller_channel_posix.h"

#include "transport/posix/process_control_posix.h"
#include "melvox_modules.h"
#include "messages/message_packer.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace melvox {

posix_caller_channel::posix_caller_channel(pid_t decoder, int to_decoder, int from_decoder, int from_feedback)
    : decoder_pid_(decoder), to_decoder_(to_decoder, true), from_decoder_(from_decoder), from_feedback_(from_feedback)
{
    current_.bytes.reserve(frame_buffer_size);
    // The caller never blocks on a full command pipe: while it waits for
    // room it keeps taking notifications, so a decoder side blocked on
    // sending them to a caller that sends without reading can go on.
    fcntl(to_decoder, F_SETFL, fcntl(to_decoder, F_GETFL) | O_NONBLOCK);
}

posix_caller_channel::~posix_caller_channel()
{
    if (decoder_pid_ > 0)
        shut_down(side_end_timeout_ms);
}

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

namespace {

// "exit status 1", "killed by signal 9 (Killed)".
std::string how_it_ended(int status)
{
    if (WIFSIGNALED(status)) {
        const char* name = strsignal(WTERMSIG(status));
        return "killed by signal " + std::to_string(WTERMSIG(status)) + (name ? std::string(" (") + name + ")" : "");
    }
    return "exit status " + std::to_string(WEXITSTATUS(status));
}

// Whether the writer of a pipe has gone (bytes may still be queued in it).
bool writer_gone(const frame_reader& reader)
{
    if (reader.closed())
        return true;
    pollfd p{reader.fd(), POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLHUP) != 0;
}

} // namespace

bool posix_caller_channel::tell_side_end(player_message& out)
{
    if (!kept_.empty() || exit_posted_ || exited_seen_)
        return false;
    if (!decoder_end_told_ && from_decoder_.closed()) {
        decoder_end_told_ = true;
        // Its pipe ends as the process exits; it is reaped a moment later.
        end_text_ = "decoder process ended";
        for (int i = 0; i < 200; ++i) {
            int status;
            pid_t r = waitpid(decoder_pid_, &status, WNOHANG);
            if (r == decoder_pid_) {
                decoder_reaped_ = true;
                end_text_ += " (" + how_it_ended(status) + ")";
                break;
            }
            if (r < 0 && errno != EINTR)
                break;
            usleep(1000);
        }
    } else if (!feedback_end_told_ && from_feedback_.closed() && !writer_gone(from_decoder_)) {
        // (A feedback side that ends with its decoder side is not told apart.)
        feedback_end_told_ = true;
        end_text_ = "feedback process ended";
    } else {
        return false;
    }
    out = make_notify_error(report_source_decoder, error_side_ended, end_text_.c_str());
    return true;
}

int posix_caller_channel::receive(player_message& out, long long timeout_us)
{
    channel_deadline deadline = deadline_after_us(timeout_us);
    for (;;) {
        kept_frame frame;
        if (tell_side_end(out))
            return 1;
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
            if (tell_side_end(out)) {
                if (r == 1)
                    kept_.push_front(std::move(frame)); // told first, delivered next
                return 1;
            }
            if (r < 0)
                return r;
        }
        if (frame.from == from_decoder && frame.bytes[0] == command_sync)
            continue; // the answer to a sync that stopped waiting
        // notify_exited is the last notification: the feedback side's own
        // answers, still on their pipe, go first.
        if (frame.from == from_decoder && frame.bytes[0] == notify_exited) {
            exited_seen_ = true;
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
    if (int r = post(sync_with_tag(tag)); r < 0)
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
            if (decode_frame(decoded, answer) == 0 && command_sync_tag(&answer) == tag)
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
    if (decoder_reaped_) {
        decoder_pid_ = 0;
        to_decoder_.close();
        kept_.clear();
        return;
    }
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

} // namespace melvox
