// The one table of messages. Everything else that knows a message is made
// from its row: the packer of the caller's arguments, the pipe frames and the
// window messages that carry it, which side handles it, the notification-mask
// bit that governs it, and the public header melvox_messages.h with its code,
// its documentation and its named accessors (tools/message_header_gen.cpp;
// build the target message-header after changing a row).
//
// A row's arguments are listed in call order (the order of
// player_send_message), each as "type name@place", with these types:
//   u8, u16, i16, u32, i32  a byte, 16-bit or 32-bit value at that place;
//   text                    a string;
//   bytes name@8[size]      a block whose length is the u32 argument size;
//   i8s name@4[64]          signed bytes, a fixed number of them;
//   i8s name@20[a*b]        signed bytes, as many as the u16 arguments a and b multiplied;
//   list name@8[count]      a property list counted by the u32 argument count.
// A pointer lies at a word's place. "hidden" before an argument keeps it out of
// the call order: the library sets it itself. A block's or list's length
// travels with the block, so a u32 length argument is not a field of its own
// on byte transports.
#pragma once

#include <cstdint>

namespace melvox {

// Which side takes a message.
enum class message_route : uint8_t {
    reserved,           // a code without effect: packed and posted, answered by nobody
    decoder,            // a command that the decoder side handles and answers
    decoder_unanswered, // a command that the decoder side handles without an answer
    feedback,           // a command that the decoder side passes on; the feedback side answers it
    between_sides,      // from the decoder side to the feedback side only
    caller,             // a notification to the caller
};

struct message_row {
    int code;
    const char* name;
    message_route route;
    uint32_t mask_bit; // the notification-mask bit that governs it, 0 when none
    const char* arguments;
    const char* about; // what it does or when it is sent
    // On window messages its two words travel as wParam and lParam.
    bool words_in_params = false;
};

namespace message_rows {

using enum message_route;

constexpr const char* module_info = "u8 id@4, u8 device_count@5, text name@8, text description@12";
constexpr const char* device_info = "u8 module_id@4, u8 device@5, u8 flags@6, text name@8, text description@12";
constexpr const char* filter_info = "text name@8, i16 id@4";
constexpr const char* block = "i16 type@4, u32 size@12, bytes data@8[size]";
constexpr const char* pcm_event =
    "u32 seconds@4, u32 microseconds@8, u32 sample_rate@12, u16 channels@16, u16 samples@18, i8s data@20[channels*samples]";
constexpr const char* user_event = "u32 seconds@4, u32 first@8, u32 second@12";
constexpr const char* two_words = "u32 first@4, u32 second@8";
constexpr const char* four_bytes = "u8 first@4, u8 second@5, u8 third@6, u8 fourth@7";
constexpr const char* three_bytes = "u8 first@6, u8 second@5, u8 third@4";

constexpr message_row rows[] = {
    // Commands from the caller to the decoder side.
    {1, "command_exit", decoder_unanswered, 0, "",
     "ends the decoder side: input, output and codec close, notify_exited is the last notification"},
    {2, "command_sync", decoder_unanswered, 0, "hidden u32 tag@4",
     "no action; player_sync sets the tag and waits until the decoder side has taken it"},
    {3, "command_ping", decoder, 0, "u32 tag@4", "answered by notify_pong with the same tag"},
    {4, "command_play", decoder, 0, "", "opens the input (its stored name) and the output when closed, and plays"},
    {5, "command_pause", decoder, 0, "", "pauses; error_internal when no input is open"},
    {6, "command_stop", decoder, 0, "",
     "stops: queued audio is discarded and the input rewound; error_internal when no input is open"},
    {7, "command_seek", decoder, 0, "u32 offset@4, u32 range@8",
     "moves to offset/range of the stream; a range of 0 is error_invalid_parameters"},
    {8, "command_input_open", decoder, 0, "text name@4",
     "opens an input (\"\": the stored name) and selects its codec; notify_input_state, then notify_input_name, "
     "notify_input_caps and the stream notifications"},
    {9, "command_input_close", decoder, 0, "", "stops and closes the input; notify_input_state"},
    {10, "command_input_send_message", decoder, 0, block, "passes a block to the input chain's message method"},
    {11, "command_input_add_filter", decoder, 0, "text name@8, i16 position@4",
     "loads and inserts an input filter; notify_input_filter_info"},
    {12, "command_input_remove_filter", decoder, 0, filter_info, "removes an input filter"},
    {13, "command_input_list_filters", decoder, 0, "", "one notify_input_filter_info per input filter"},
    {14, "command_input_module_register", decoder, 0, "text name@4", "loads and registers an input module"},
    {15, "command_input_module_query", decoder, 0, "i16 id@4",
     "notify_input_module_info, then one notify_input_device_info per device"},
    {16, "command_input_modules_list", decoder, 0, "",
     "the answer of command_input_module_query for every input module"},
    {17, "command_output_open", decoder, 0, "text name@4",
     "opens an output (\"\": the stored name); notify_output_state, then notify_output_name, notify_output_caps and "
     "the volume and ports"},
    {18, "command_output_close", decoder, 0, "", "stops and closes the output; notify_output_state"},
    {19, "command_output_send_message", decoder, 0, block, "passes a block to the output chain's message method"},
    {20, "command_output_mute", decoder, 0, "", "mutes the output"},
    {21, "command_output_unmute", decoder, 0, "", "unmutes the output"},
    {22, "command_output_reset", decoder, 0, "", "discards the audio that the output has queued"},
    {23, "command_output_drain", decoder, 0, "", "lets the audio that the output has queued play out"},
    {24, "command_output_add_filter", decoder, 0, "text name@8, i16 position@4",
     "loads and inserts an output filter; notify_output_filter_info"},
    {25, "command_output_remove_filter", decoder, 0, filter_info, "removes an output filter"},
    {26, "command_output_list_filters", decoder, 0, "", "one notify_output_filter_info per output filter"},
    {27, "command_output_module_register", decoder, 0, "text name@4", "loads and registers an output module"},
    {28, "command_output_module_query", decoder, 0, "i16 id@4",
     "notify_output_module_info, then one notify_output_device_info per device"},
    {29, "command_output_modules_list", decoder, 0, "",
     "the answer of command_output_module_query for every output module"},
    {30, "code 30", reserved, 0, "", ""},
    {31, "command_codec_module_register", decoder, 0, "text name@4", "loads and registers a codec module"},
    {32, "command_codec_module_query", decoder, 0, "i16 id@4",
     "notify_codec_module_info, then one notify_codec_device_info per device"},
    {33, "command_codec_modules_list", decoder, 0, "",
     "the answer of command_codec_module_query for every codec module"},
    {34, "command_set_player_mode", decoder, 0, "u32 mode@4", "sets the player mode (player_mode_bits)"},
    {35, "command_get_player_mode", decoder, 0, "", "notify_player_mode"},
    {36, "command_set_environment_integer", decoder, 0, "text name@4, i32 value@8",
     "sets an integer environment variable"},
    {37, "command_get_environment_integer", decoder, 0, "text name@4", "notify_environment_integer"},
    {38, "command_set_environment_string", decoder, 0, "text name@4, text value@8",
     "sets a string environment variable"},
    {39, "command_get_environment_string", decoder, 0, "text name@4", "notify_environment_string"},
    {40, "command_unset_environment", decoder, 0, "text name@4",
     "removes an environment variable; error_no_such_variable when there is none"},
    {41, "command_set_input_name", decoder, 0, "text name@4",
     "stores the input name; reopens the input when it is open"},
    {42, "command_get_input_name", decoder, 0, "", "notify_input_name"},
    {43, "command_set_input_module", decoder, 0, "i16 id@4",
     "selects the input module (-1: chosen by name); reopens the input when it is open"},
    {44, "command_get_input_module", decoder, 0, "", "notify_input_module"},
    {45, "command_set_input_position_range", decoder, 0, "u32 range@4",
     "the range of notify_input_position; 0 is error_invalid_parameters"},
    {46, "command_get_input_position_range", decoder, 0, "", "notify_input_position_range"},
    {47, "command_set_input_timecode_granularity", decoder, 0, "u32 granularity@4",
     "the step of notify_input_timecode in hundredths of a second; 0 is error_invalid_parameters"},
    {48, "command_get_input_timecode_granularity", decoder, 0, "", "notify_input_timecode_granularity"},
    {49, "command_set_output_name", decoder, 0, "text name@4",
     "stores the output name; reopens the output when it is open"},
    {50, "command_get_output_name", decoder, 0, "", "notify_output_name"},
    {51, "command_set_output_module", decoder, 0, "i16 id@4",
     "selects the output module (-1: chosen by name); reopens the output when it is open"},
    {52, "command_get_output_module", decoder, 0, "", "notify_output_module"},
    {54, "code 54", reserved, 0, "", ""},
    {56, "code 56", reserved, 0, "", ""},
    {57, "command_set_output_volume", decoder, 0, "u8 balance@6, u8 pcm_level@5, u8 master_level@4",
     "each value of 0..100 is applied and remembered; any other leaves that one unchanged"},
    {58, "command_get_output_volume", decoder, 0, "",
     "notify_output_balance, notify_output_pcm_level and notify_output_master_level"},
    {59, "command_set_codec_channel_mode", decoder, 0, "u8 mode@4",
     "the codec's channel mode; the output is reset as by command_output_reset"},
    {60, "command_get_codec_channel_mode", decoder, 0, "", "notify_codec_channel_mode"},
    {61, "command_set_output_ports", decoder, 0, "u8 ports@4", "selects the output's ports"},
    {62, "command_get_output_ports", decoder, 0, "", "notify_output_ports"},
    {63, "command_set_codec_downsampling", decoder, 0, "u8 value@4", "the codec's downsampling"},
    {64, "command_get_codec_downsampling", decoder, 0, "", "notify_codec_downsampling"},
    {65, "command_set_codec_equalizer", decoder, 0, "i8s bands@4[64]",
     "the codec's equalizer: 64 signed bands, or null for none"},
    {66, "command_get_codec_equalizer", decoder, 0, "", "notify_codec_equalizer"},
    {67, "command_set_codec_module", decoder, 0, "i16 id@4",
     "selects the codec module (-1: chosen by the stream); reopens the input when it is open"},
    {69, "command_set_notification_mask", decoder, 0, "u32 mask@4",
     "which notifications are sent (notification_mask_bits)"},
    {70, "command_get_notification_mask", decoder, 0, "", "notify_notification_mask"},
    {71, "command_set_debug_level", decoder, 0, "u8 level@4", "the highest level of notify_debug that is sent"},
    {72, "command_get_debug_level", decoder, 0, "", "notify_debug_level"},

    // Notifications to the caller.
    {73, "notify_ready", caller, 0, "", "once, when the decoder side has started"},
    {74, "notify_ack", caller, 0x8, "u8 command@4", "a command succeeded"},
    {75, "notify_nack", caller, 0x10, "u8 command@4, i16 error@6", "a command failed with this error"},
    {76, "notify_pong", caller, 0, "u32 tag@4", "the answer to command_ping"},
    {77, "notify_exited", caller, 0, "", "the decoder side is ending: the last notification"},
    {78, "notify_player_state", caller, 0x20, "u8 state@4", "the player's state (player_state) changed"},
    {79, "notify_player_mode", caller, 0, "u32 mode@4", "the player mode"},
    {80, "notify_environment_integer", caller, 0, "text name@4, i32 value@8", "an integer environment variable"},
    {81, "notify_environment_string", caller, 0, "text name@4, text value@8", "a string environment variable"},
    {82, "notify_input_state", caller, 0x40, "u8 state@4", "after the input opened (0) or closed (1)"},
    {83, "notify_input_name", caller, 0x80, "text name@4", "the input's name"},
    {84, "notify_input_caps", caller, 0x100, "u32 caps@4", "after the input opened: bit 0 seekable"},
    {85, "notify_input_position", caller, 0x200, "u32 offset@4, u32 out_of@8",
     "the position changed, or after a seek: offset out of the position range"},
    {86, "notify_input_position_range", caller, 0, "u32 range@4", "the position range"},
    {87, "notify_input_timecode", caller, 0x400, "u8 hours@4, u8 minutes@5, u8 seconds@6, u8 hundredths@7",
     "the timecode changed by its granularity, or after a seek"},
    {88, "notify_input_timecode_granularity", caller, 0, "u32 granularity@4", "the timecode granularity"},
    {89, "notify_input_module", caller, 0, "i16 id@4", "the selected input module (-1: chosen by name)"},
    {90, "notify_input_module_info", caller, 0, module_info, "an input module"},
    {91, "notify_input_device_info", caller, 0, device_info, "a device of an input module"},
    {92, "notify_input_filter_info", caller, 0, filter_info, "an input filter"},
    {93, "notify_output_state", caller, 0x800, "u8 state@4", "after the output opened (0) or closed (1)"},
    {94, "notify_output_name", caller, 0x1000, "text name@4", "the output's name"},
    {95, "notify_output_caps", caller, 0x2000, "u32 caps@4", "after the output opened: its capabilities"},
    {96, "code 96", reserved, 0, two_words, ""},
    {98, "code 98", reserved, 0, four_bytes, ""},
    {100, "code 100", reserved, 0, three_bytes, ""},
    {101, "notify_output_balance", caller, 0x20000, "u8 balance@6", "the output's balance (255: never set)"},
    {102, "notify_output_pcm_level", caller, 0x40000, "u8 level@5", "the output's PCM level (255: never set)"},
    {103, "notify_output_master_level", caller, 0x80000, "u8 level@4", "the output's master level (255: never set)"},
    {104, "notify_codec_channel_mode", caller, 0, "u8 mode@4", "the codec's channel mode"},
    {105, "notify_output_ports", caller, 0x100000, "u8 ports@4", "the output's ports, after it opened and on request"},
    {106, "notify_output_module", caller, 0, "i16 id@4", "the selected output module (-1: chosen by name)"},
    {107, "notify_output_module_info", caller, 0, module_info, "an output module"},
    {108, "notify_output_device_info", caller, 0, device_info, "a device of an output module (flags bit 1: default)"},
    {109, "notify_output_filter_info", caller, 0, filter_info, "an output filter"},
    {110, "notify_stream_mime_type", caller, 0x200000, "text mime_type@4", "the stream's type changed"},
    {111, "notify_stream_duration", caller, 0x400000, "u32 seconds@4",
     "the stream's duration in whole seconds changed"},
    {112, "notify_stream_parameters", caller, 0x800000, "u32 sample_rate@4, u16 bitrate@8, u8 channels@10",
     "the stream's format changed: Hz, kbit/s, channels"},
    {113, "notify_stream_properties", caller, 0x1000000, "u32 count@4, list properties@8[count]",
     "the stream's properties changed: all of them, newest first"},
    {114, "notify_codec_downsampling", caller, 0, "u8 value@4", "the codec's downsampling"},
    {115, "notify_codec_equalizer", caller, 0, "i8s bands@4[64]", "the codec's equalizer: 64 bands, or null for none"},
    {116, "notify_codec_module", caller, 0, "i16 id@4", "the selected codec module"},
    {117, "notify_codec_module_info", caller, 0, module_info, "a codec module"},
    {118, "notify_codec_device_info", caller, 0, device_info, "a device of a codec module"},
    {119, "notify_notification_mask", caller, 0, "u32 mask@4", "the notification mask"},
    {120, "notify_debug_level", caller, 0, "u8 level@4", "the debug level"},
    {121, "notify_progress", caller, 0x4, "u8 source@4, u8 code@5, u16 value@6, text text@8",
     "a module reports progress; the network input's codes are those of player_progress_code"},
    {122, "notify_debug", caller, 0x2, "u8 source@4, u8 verbosity@5, text text@8",
     "a module or the decoder side (source 255) reports a message of a verbosity up to the debug level; 0 reports a "
     "failure"},
    {123, "notify_error", caller, 0x1, "u8 source@4, i16 code@6, text text@8",
     "a module or the decoder side (source 255) reports an error"},
    {124, "notify_module_event", caller, 0x8000000, "u8 source@4, i16 type@6, bytes data@8[size], u32 size@12",
     "a block of a module's own"},

    // Feedback commands: the decoder side passes them on, the feedback side answers them.
    {125, "command_feedback_handler_module_register", feedback, 0, "text name@4",
     "loads and registers a feedback handler module"},
    {126, "code 126", reserved, 0, "", ""},
    {127, "command_feedback_handler_modules_list", feedback, 0, "",
     "notify_feedback_handler_module_info and notify_feedback_handler_device_info per module and device"},
    {128, "command_feedback_exit", between_sides, 0, "", "ends the feedback side"},
    {129, "command_feedback_handler_start", feedback, 0, "",
     "opens the selected handler when none is open and starts it"},
    {130, "command_feedback_handler_stop", feedback, 0, "", "stops the handler"},
    {131, "feedback_pause", between_sides, 0, "u32 seconds@4, u32 microseconds@8", "playback paused at this time",
     true},
    {132, "feedback_resume", between_sides, 0, "u32 seconds@4, u32 microseconds@8", "playback resumed at this time",
     true},
    {133, "feedback_flush", between_sides, 0, "", "queued events are dropped"},
    {134, "command_feedback_handler_send_message", feedback, 0, block,
     "passes a block to the handler's message method"},
    {135, "feedback_pcm_event", between_sides, 0, pcm_event, "reduced PCM, due at this time"},
    {136, "feedback_user_event", between_sides, 0, user_event, "an event of the decoder's own, due at this time"},
    {137, "feedback_timecode_event", between_sides, 0x8000,
     "u32 seconds@4, u32 microseconds@8, u8 hours@12, u8 minutes@13, u8 timecode_seconds@14, u8 hundredths@15",
     "the timecode that plays at this time"},
    {138, "feedback_position_event", between_sides, 0x4000,
     "u32 seconds@4, u32 microseconds@8, u32 offset@12, u32 range@16", "the position that plays at this time"},
    {139, "command_set_feedback_rate", decoder, 0, "u8 rate@4", "PCM feedback events per second; 0 stops them"},
    {140, "command_get_feedback_rate", decoder, 0, "", "notify_feedback_rate"},
    {141, "command_set_feedback_handler_name", feedback, 0, "text name@4",
     "selects a handler by name and reopens it; notify_feedback_handler_name; \"\" just closes it"},
    {142, "code 142", reserved, 0, "", ""},
    {143, "command_set_feedback_handler_module", feedback, 0, "i16 id@4",
     "selects a handler module (-1: chosen by name); a running handler starts again"},
    {144, "code 144", reserved, 0, "", ""},
    {145, "command_feedback_set_environment_integer", feedback, 0, "text name@4, i32 value@8",
     "sets an integer variable of the feedback side's environment"},
    {146, "command_feedback_get_environment_integer", feedback, 0, "text name@4",
     "notify_feedback_environment_integer"},
    {147, "command_feedback_set_environment_string", feedback, 0, "text name@4, text value@8",
     "sets a string variable of the feedback side's environment"},
    {148, "command_feedback_get_environment_string", feedback, 0, "text name@4", "notify_environment_string"},
    {149, "command_feedback_unset_environment", feedback, 0, "text name@4",
     "removes a variable of the feedback side's environment"},

    // Notifications about the feedback side.
    {150, "notify_feedback_rate", caller, 0, "u8 rate@4", "PCM feedback events per second, 0 when off"},
    {151, "notify_feedback_handler_state", caller, 0, "u8 state@4", "the handler is running (0) or stopped (1)"},
    {152, "notify_feedback_handler_module", caller, 0, "i16 id@4", "a feedback handler of this module was opened"},
    {153, "notify_feedback_handler_module_info", caller, 0, module_info, "a feedback handler module"},
    {154, "notify_feedback_handler_name", caller, 0, "text name@4", "the handler's name"},
    {155, "notify_feedback_handler_device_info", caller, 0, device_info, "a device of a feedback handler module"},
    {156, "notify_feedback_environment_integer", caller, 0, "text name@4, i32 value@8",
     "an integer variable of the feedback side's environment"},
    {157, "code 157", reserved, 0, two_words, ""},
    {158, "code 158", reserved, 0, pcm_event, ""},
    {159, "code 159", reserved, 0, user_event, ""},
};

} // namespace message_rows

} // namespace melvox
