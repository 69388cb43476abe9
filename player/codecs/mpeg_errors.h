// The player library's error codes as the MPEG audio codec names them: the
// codes themselves come from the library's public header.
#pragma once

#include "melvox.h"

namespace melvox::mpeg {

using ::error_invalid_frame; // also: a stream that does not start with a frame (prepare)
using ::error_invalid_parameters;
using ::error_no_audio_found;    // no frame where a stream begins
using ::error_no_such_interface; // a seek on a stream that cannot seek
using ::error_no_such_variable;  // a parameter asked for that is not set
using ::error_out_of_memory;
using ::error_read_failed;
constexpr int error_end_of_input = ::error_end_of_input_stream;

} // namespace melvox::mpeg
