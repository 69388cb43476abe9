// The Windows transport: being written; players cannot start yet.
#include "channel.h"

namespace melvox {

int start_player_sides(const player_hook_list*, std::unique_ptr<caller_channel>&)
{
    return error_internal;
}

} // namespace melvox
