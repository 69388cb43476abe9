// The decoder side's command handlers that drive the pipeline and the module
// system. Each returns the result that the command is acknowledged with.
#pragma once

#include "decoder/decoder.h"

namespace melvox {

// Transport and state (pipeline_commands.cpp).
int play(player_decoder& d);
int pause(player_decoder& d);
int stop(player_decoder& d);
int seek(player_decoder& d, uint32_t offset, uint32_t range);

// Opening and closing with their notifications; an empty name opens the
// stored one, another name is stored.
int open_input(player_decoder& d, const char* name);
int close_input(player_decoder& d);
int open_output(player_decoder& d, const char* name);
int close_output(player_decoder& d);

// Names and module ids, reopening what is open.
int set_input_name(player_decoder& d, const char* name);
int set_input_module(player_decoder& d, int16_t id);
int set_output_name(player_decoder& d, const char* name);
int set_output_module(player_decoder& d, int16_t id);
int set_codec_module(player_decoder& d, int16_t id);

// Output control: an action bit (mute, unmute, drain) on the open output;
// reset also flushes the feedback side and succeeds without an output.
int output_action(player_decoder& d, uint32_t bit);
int output_reset(player_decoder& d);
// Remembered and, while the output is open, applied.
int set_volume(player_decoder& d, uint8_t balance, uint8_t pcm_level, uint8_t master_level);
int set_ports(player_decoder& d, uint8_t ports);

// Codec parameters, remembered and handed to the codec.
int set_channel_mode(player_decoder& d, uint8_t mode);
int set_downsampling(player_decoder& d, uint8_t value);
int set_equalizer(player_decoder& d, const int8_t* bands);

// Modules and filters (module_commands.cpp).
int register_module_named(player_decoder& d, int kind, const char* name);
int add_filter_named(player_decoder& d, int kind, const char* name, int position);
int remove_filter(player_decoder& d, int kind, const char* name, int id);
int send_to_input(player_decoder& d, int type, uint32_t size, const void* data);
int send_to_output(player_decoder& d, int type, uint32_t size, const void* data);

} // namespace melvox
