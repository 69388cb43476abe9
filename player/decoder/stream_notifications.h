// What the decoder tells the caller (and the feedback side) about the stream
// as it plays: its type, duration, format and properties, the position and
// timecode, feedback events, and the end of the stream.
#pragma once

#include "decoder/decoder.h"

namespace melvox {

// notify_stream_mime_type, _duration, _parameters and _properties for what
// changed, in that order; then clears the change flags.
void send_stream_notifications(player_decoder& d);

// notify_input_position when the offset in the position range changed (or
// always), notify_input_timecode when the timecode as the granularity shows
// it changed (or always).
void send_position(player_decoder& d, bool always);
void send_timecode(player_decoder& d, bool always);

// The feedback side's timecode, position and PCM events for the frame just
// written, stamped with the wall clock plus the output's delay.
void send_feedback_events(player_decoder& d);

// What follows a decode step with result r: feedback events after success;
// the stream, position and timecode notifications after success, an invalid
// frame or a timeout; otherwise the end of the stream.
void finish_step(player_decoder& d, int r);

// The wall clock, to the millisecond.
played_time wall_clock_now();

// Tells the feedback side to pause, resume or flush.
void post_feedback_time(player_decoder& d, int code);
void post_feedback_flush(player_decoder& d);

} // namespace melvox
