// The player library's error codes that the MPEG audio codec returns (the
// library's own numbering: negative, grouped by hundreds).
#pragma once

namespace melvox::mpeg {

constexpr int error_generic = -1;
constexpr int error_out_of_memory = -100;
constexpr int error_invalid_parameters = -102;
constexpr int error_read_failed = -502;
constexpr int error_end_of_input = -514;  // "end of input stream"
constexpr int error_invalid_frame = -700;

}  // namespace melvox::mpeg
