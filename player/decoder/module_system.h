// Registering, finding, describing and loading the decoder's modules and
// filters.
#pragma once

#include "decoder/decoder.h"
#include "host/module_description.h"
#include "host/module_loader.h"

#include <functional>

namespace melvox {

// Each calls the entry point on a zeroed table, checks the version word and
// the required methods (reporting a missing one as "internal error" with its
// name, -103) and registers the table; returns the new id. A failed
// registration leaves the registry unchanged.
int register_input_module(player_decoder& d, input_module_register_function entry);
int register_output_module(player_decoder& d, output_module_register_function entry);
int register_codec_module(player_decoder& d, codec_module_register_function entry);

// Registers a filter in the input (or output) chain at position (see
// filter_chain::add); returns its id.
int add_input_filter(player_decoder& d, input_filter_module_register_function entry, int position);
int add_output_filter(player_decoder& d, output_filter_module_register_function entry, int position);

// Registers what the entry point of a kind fills: modules of kinds input,
// output and codec, filters (at position) of the two filter kinds.
int register_entry_point(player_decoder& d, int kind, entry_point entry, int position);

// Resolves a module name to an entry point, consulting the module-loader
// hook before and after.
int load_entry_point(player_decoder& d, int kind, const char* name, entry_point* out);

// The module for a name: with id -1 the newest that takes it, else the entry
// with that id (error_plugin_module_not_found when there is none). Nobody
// taking an input name is error_unsupported_input_type, an output name
// error_unsupported_output_type, a stream error_no_codec_found.
int select_input_module(player_decoder& d, const char* name, int id, const module_entry** out);
int select_output_module(player_decoder& d, const char* name, int id, const module_entry** out);
int select_codec_module(player_decoder& d, const char* mime_type, const char* name, int id, const module_entry** out);

// command_*_module_query: an id that is not registered is
// error_plugin_module_not_found.
int query_module(player_decoder& d, int kind, int id);
// command_*_modules_list: every module in id order; a module whose query
// fails is skipped.
int list_modules(player_decoder& d, int kind);

// notify_input_filter_info / notify_output_filter_info for one filter, and
// for every filter of a chain from its head.
int notify_filter(player_decoder& d, int kind, const module_query& query, int id);
int list_filters(player_decoder& d, int kind);

} // namespace melvox
