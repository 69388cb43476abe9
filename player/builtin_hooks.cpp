// The default hook list of player_new.
#include "sides.h"

namespace melvox {
namespace {

// The "init-hook" of the default list: it registers the built-in modules,
// of which there are none until the module system and its modules exist.
int register_builtin_modules(void*, player_channel*, decoder*)
{
    return 0;
}

const player_hook_pair init_pair = {nullptr, reinterpret_cast<void (*)(void)>(&register_builtin_modules)};
const player_hook default_hooks[] = {{"init-hook", &init_pair, player_hook_type}};
const player_hook_list default_list = {1, default_hooks};

} // namespace

const player_hook_list* default_hook_list()
{
    return &default_list;
}

} // namespace melvox
