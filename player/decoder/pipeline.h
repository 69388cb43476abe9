// The decoder's operations on its input, codec and output: opening and
// closing them, seeking, reading for the codec, and one decode step.
#pragma once

#include "decoder/decoder.h"

namespace melvox {

// Selects the input module for name (or module_id) and makes its instance;
// an instance of the same module for the same name is kept.
int input_new(player_decoder& d, const char* name, int module_id);
// Opens the input through its chain, then selects and resets the codec. A
// codec that cannot be had closes the input again.
int input_open(player_decoder& d);
int input_close(player_decoder& d);

// Moves to a ratio (0..1) of the stream, mapped by the codec when it can.
int seek_ratio(player_decoder& d, float ratio);
// Moves the input to a byte offset (clamped to its size), tells the codec
// and recomputes the ratio, played time and timecode.
int seek_offset(player_decoder& d, uint32_t offset);

// The codec's read: exactly size bytes through the input chain, or an error
// (error_end_of_input_stream when no whole block is left).
int read_input(player_decoder& d, void* buffer, uint32_t size);

// The position ratio from the codec or from position / size.
void update_ratio(player_decoder& d);

int output_new(player_decoder& d, const char* name, int module_id);
int output_open(player_decoder& d);
int output_close(player_decoder& d);
// set_control through the output chain; the output must be open.
int output_set_control(player_decoder& d, const output_control& control, uint32_t mask);

// Decodes one frame and writes it to the output.
int decode_step(player_decoder& d);

// Hands the player's codec parameters selected by mask to the codec.
int apply_codec_parameters(player_decoder& d, uint32_t mask);

// Closes the input and the output through their chains, then deletes the
// input, output and codec instances (at command_exit).
void close_everything(player_decoder& d);

} // namespace melvox
