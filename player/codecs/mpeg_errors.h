// The player library's error codes as the MPEG audio codec names them: the
// codes themselves come from the library's public header.
#pragma once

#include "melvox.h"

namespace melvox::mpeg {

constexpr int error_generic = -1; // "not this codec's stream" (prepare)
using ::error_invalid_frame;
using ::error_invalid_parameters;
using ::error_out_of_memory;
using ::error_read_failed;
constexpr int error_end_of_input = ::error_end_of_input_stream;

} // namespace melvox::mpeg
