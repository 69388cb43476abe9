// The caller's endpoint of the Linux transport: commands to the decoder
// process, notifications from it and from the feedback process.
#pragma once

#include "transport/channel.h"
#include "transport/posix/pipe_frames_posix.h"

#include <deque>
#include <string>
#include <vector>

#include <sys/types.h>

namespace melvox {

class posix_caller_channel final : public caller_channel {
public:
    posix_caller_channel(pid_t decoder, int to_decoder, int from_decoder, int from_feedback);
    ~posix_caller_channel() override;

    int post(const player_message& m) override
    {
        // Once the decoder side is known to have ended, nothing more is
        // written into a process that may still be closing its pipes.
        if (decoder_ended_)
            return error_pipe_closed;
        exit_posted_ = exit_posted_ || m.code == command_exit;
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
    // A side that has ended without being asked to is told once, as
    // notify_error (error_side_ended) with how it ended: true when out holds it.
    bool tell_side_end(player_message& out);

    pid_t decoder_pid_;
    frame_writer to_decoder_;
    frame_reader from_decoder_;
    frame_reader from_feedback_;
    std::deque<kept_frame> kept_; // taken off the pipes while syncing, not yet delivered
    bool exited_held_ = false;
    bool decoder_ended_ = false; // notify_exited taken, or its pipe at its end
    bool exit_posted_ = false;
    bool exited_seen_ = false;    // notify_exited came: the decoder side ended as asked
    bool decoder_reaped_ = false; // by tell_side_end
    bool decoder_end_told_ = false;
    bool feedback_end_told_ = false;
    std::string end_text_;
    received_frame current_;
    pipe_full_handler when_full_ = [this] { return wait_for_room(); };
};

} // namespace melvox
