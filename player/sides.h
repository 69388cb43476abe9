// The main loops of the decoder side and the feedback side, shared by every
// transport: each returns when its side is to end.
#pragma once

#include "channel.h"

namespace melvox {

// Runs the hook list, sends notify_ready, dispatches commands until
// command_exit (or until the caller is gone), ends the feedback side and
// sends notify_exited.
void run_decoder(decoder_channel& channel, const player_hook_list* hooks);

// Handles the feedback side's commands until command_feedback_exit or until
// the decoder side is gone.
void run_feedback(player_channel& channel);

// The default hook list: one "init-hook" that registers the built-in modules.
const player_hook_list* default_hook_list();

} // namespace melvox
