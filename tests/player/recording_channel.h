// A decoder-side endpoint that keeps what the decoder sends, copied the way
// the real channel copies it (encoded and decoded as a frame), so that a
// decoder can be driven in the test's own process.
#pragma once

#include "transport/channel.h"
#include "messages/frame_codec.h"

#include <deque>
#include <memory>
#include <vector>

class RecordingChannel : public melvox::decoder_channel {
public:
    int post(const player_message& m) override { return keep(toCaller, m); }
    int receive(player_message&, long long) override { return error_timeout; }
    int post_to_feedback(const player_message& m) override { return keep(toFeedback, m); }
    void end_feedback(int) override {}
    // A wait for the input answers waitAnswer: 0 (read now), or
    // error_timeout as when a command comes first.
    int wait_for_input(int, bool (*)(int)) override { return waitAnswer; }
    int waitAnswer = 0;

    struct Kept {
        melvox::received_frame frame;
        player_message message{};
    };
    using Queue = std::deque<std::unique_ptr<Kept>>;

    // The codes sent to the caller, in order, and then forgets them.
    std::vector<uint32_t> takeCodes();
    // The first message of this code sent to the caller (null when none);
    // stays valid until the queue is cleared.
    const player_message* find(uint32_t code) const;
    // Every message of this code sent to the caller.
    std::vector<const player_message*> all(uint32_t code) const;
    std::vector<const player_message*> allToFeedback(uint32_t code) const;
    void clear()
    {
        toCaller.clear();
        toFeedback.clear();
    }

    Queue toCaller;
    Queue toFeedback;

private:
    static int keep(Queue& queue, const player_message& m);
};
