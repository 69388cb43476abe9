// The control channel between the caller, the decoder side and the feedback
// side of a player. Each platform's transport implements these endpoints
// (posix/channel_posix.cpp: child processes and pipes;
// win32/channel_win32.cpp: threads and window messages).
#pragma once

#include "melvox.h"

#include <cstdint>
#include <memory>

// An endpoint, owned by one thread or process. Received strings and blocks
// stay valid until the next message is taken from the same endpoint.
struct player_channel {
    virtual ~player_channel() = default;

    // Posts to the endpoint's peer: the decoder side for the caller, the
    // caller for the decoder and feedback sides.
    virtual int post(const player_message& m) = 0;

    // Takes the next message, waiting up to timeout_us microseconds (-1: no
    // limit): 1 when taken, error_timeout, or the channel's error.
    virtual int receive(player_message& out, long long timeout_us) = 0;
};

namespace melvox {

class caller_channel : public player_channel {
public:
    // Posts command_sync carrying tag and waits up to timeout_ms (-1: no
    // limit) until the decoder side answers with the same tag. Notifications
    // that arrive meanwhile stay queued for receive.
    virtual int sync(uint32_t tag, int timeout_ms) = 0;

    // Sends command_exit and waits up to timeout_ms for the decoder side to
    // end, ending it by force after that; releases the channel's resources.
    virtual void shut_down(int timeout_ms) = 0;

    // The decoder side's scheduling class (player_priority_*). A transport
    // whose decoder side's priority the caller cannot change keeps it normal.
    virtual int set_priority(int) { return 0; }
    virtual int get_priority() { return player_priority_normal; }

    // Turns a window message that the caller's own window received back into
    // a player_message; only the Windows transport posts such messages.
    virtual int unpack(player_message&, unsigned, uintptr_t, intptr_t) { return error_invalid_parameters; }
};

class decoder_channel : public player_channel {
public:
    // Posts to the feedback side.
    virtual int post_to_feedback(const player_message& m) = 0;

    // Sends command_feedback_exit and waits up to timeout_ms for the feedback
    // side to end, ending it by force after that.
    virtual void end_feedback(int timeout_ms) = 0;

    // Waits until descriptor has bytes to read or is at its end (0), or until
    // a message has come for which ends_wait(code) holds, or the caller has
    // gone (error_timeout: receive then takes the message, or tells that the
    // caller has gone). Messages stay queued for receive in their order. A
    // transport that cannot watch both returns 0 at once, and the read that
    // follows waits for the descriptor alone.
    virtual int wait_for_input(int, bool (*)(int code)) { return 0; }
};

// The main loops of the two sides, which a transport runs in the processes
// or threads that it starts: each returns when its side is to end.
struct side_loops {
    void (*decoder)(decoder_channel& channel, const player_hook_list* hooks);
    void (*feedback)(player_channel& channel);
};

// Starts the feedback side and the decoder side, which runs the hook list.
// client: where notifications go on Windows (null: the creating thread's
// message queue, else the caller's window); other transports ignore it.
int start_player_sides(const side_loops& loops, const player_hook_list* hooks, void* client,
                       std::unique_ptr<caller_channel>& out);

// How long the caller and the decoder wait for the side they end.
constexpr int side_end_timeout_ms = 10000;

} // namespace melvox
