// The decoder side's main loop, and the hook list that player_new gives it.
#pragma once

#include "transport/channel.h"

namespace melvox {

// Runs the hook list, sends notify_ready, dispatches commands until
// command_exit (or until the caller is gone), ends the feedback side and
// sends notify_exited.
void run_decoder(decoder_channel& channel, const player_hook_list* hooks);

// The default hook list: one "init-hook" that registers the built-in modules.
const player_hook_list* default_hook_list();

} // namespace melvox
