// What a module says of itself, as the info and device notifications that
// answer the module queries and lists of the decoder and the feedback side.
#pragma once

#include "melvox.h"
#include "melvox_modules.h"

#include <functional>

namespace melvox {

// A module's query method, in the form of the input and output tables.
using module_query = std::function<int(module_info*, int)>;

// Cuts the name and description to their buffers.
void terminate_info(module_info& info);

// Sends the module's info notification, then one device notification per
// device. A module without a query method describes itself by default.
int describe_module(int id, const module_query& query, int info_code, int device_code,
                    const std::function<int(const player_message&)>& post);

} // namespace melvox
