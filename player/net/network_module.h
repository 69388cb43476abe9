// The entry point of the network input module ("Network Streaming Module"),
// registered by the decoder's built-in list and exported under the name
// input_module_register by its loadable build.
#pragma once

#include "melvox_modules.h"

extern "C" int network_input_module_register(input_module* table);
