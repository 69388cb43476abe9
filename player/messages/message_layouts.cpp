#include "messages/message_layouts.h"

#include "melvox.h"

#include <array>

namespace melvox {
namespace {

// A row names the code's arguments in call order ("h4 w12 p8": 16-bit at 4,
// 32-bit at 12, pointer at 8) and its fields in channel order
// ("s4 B8:12": 16-bit at 4, then a block at 8 whose length is the word at 12).
// Block lengths: "B8:12" word at 12, "B4=64" fixed, "B20=16*18" product of the
// 16-bit values at 16 and 18; "p8:4" a property list at 8 counted by the word at 4.
struct layout_row {
    int code;
    const char* name;
    const char* call;
    const char* wire;
};

constexpr const char* module_info_call = "b4 b5 p8 p12";
constexpr const char* module_info_wire = "b4 b5 c8 c12";
constexpr const char* device_info_call = "b4 b5 b6 p8 p12";
constexpr const char* device_info_wire = "b4 b5 b6 c8 c12";
constexpr const char* filter_info_call = "p8 h4";
constexpr const char* filter_info_wire = "c8 s4";
constexpr const char* block_call = "h4 w12 p8";
constexpr const char* block_wire = "s4 B8:12";
constexpr const char* pcm_event_call = "w4 w8 w12 h16 h18 p20";
constexpr const char* pcm_event_wire = "l4 l8 l12 s16 s18 B20=16*18";

constexpr layout_row rows[] = {
    {command_exit, "command_exit", "", ""},
    // The tag is set only by player_sync, which waits for it to come back.
    {command_sync, "command_sync", "", "l4"},
    {command_ping, "command_ping", "w4", "l4"},
    {command_play, "command_play", "", ""},
    {command_pause, "command_pause", "", ""},
    {command_stop, "command_stop", "", ""},
    {command_seek, "command_seek", "w4 w8", "l4 l8"},
    {command_input_open, "command_input_open", "p4", "c4"},
    {command_input_close, "command_input_close", "", ""},
    {command_input_send_message, "command_input_send_message", block_call, block_wire},
    {command_input_add_filter, "command_input_add_filter", filter_info_call, filter_info_wire},
    {command_input_remove_filter, "command_input_remove_filter", filter_info_call, filter_info_wire},
    {command_input_list_filters, "command_input_list_filters", "", ""},
    {command_input_module_register, "command_input_module_register", "p4", "c4"},
    {command_input_module_query, "command_input_module_query", "h4", "s4"},
    {command_input_modules_list, "command_input_modules_list", "", ""},
    {command_output_open, "command_output_open", "p4", "c4"},
    {command_output_close, "command_output_close", "", ""},
    {command_output_send_message, "command_output_send_message", block_call, block_wire},
    {command_output_mute, "command_output_mute", "", ""},
    {command_output_unmute, "command_output_unmute", "", ""},
    {command_output_reset, "command_output_reset", "", ""},
    {command_output_drain, "command_output_drain", "", ""},
    {command_output_add_filter, "command_output_add_filter", filter_info_call, filter_info_wire},
    {command_output_remove_filter, "command_output_remove_filter", filter_info_call, filter_info_wire},
    {command_output_list_filters, "command_output_list_filters", "", ""},
    {command_output_module_register, "command_output_module_register", "p4", "c4"},
    {command_output_module_query, "command_output_module_query", "h4", "s4"},
    {command_output_modules_list, "command_output_modules_list", "", ""},
    {30, "code 30", "", ""},
    {command_codec_module_register, "command_codec_module_register", "p4", "c4"},
    {command_codec_module_query, "command_codec_module_query", "h4", "s4"},
    {command_codec_modules_list, "command_codec_modules_list", "", ""},
    {command_set_player_mode, "command_set_player_mode", "w4", "l4"},
    {command_get_player_mode, "command_get_player_mode", "", ""},
    {command_set_environment_integer, "command_set_environment_integer", "p4 w8", "c4 l8"},
    {command_get_environment_integer, "command_get_environment_integer", "p4", "c4"},
    {command_set_environment_string, "command_set_environment_string", "p4 p8", "c4 c8"},
    {command_get_environment_string, "command_get_environment_string", "p4", "c4"},
    {command_unset_environment, "command_unset_environment", "p4", "c4"},
    {command_set_input_name, "command_set_input_name", "p4", "c4"},
    {command_get_input_name, "command_get_input_name", "", ""},
    {command_set_input_module, "command_set_input_module", "h4", "s4"},
    {command_get_input_module, "command_get_input_module", "", ""},
    {command_set_input_position_range, "command_set_input_position_range", "w4", "l4"},
    {command_get_input_position_range, "command_get_input_position_range", "", ""},
    {command_set_input_timecode_granularity, "command_set_input_timecode_granularity", "w4", "l4"},
    {command_get_input_timecode_granularity, "command_get_input_timecode_granularity", "", ""},
    {command_set_output_name, "command_set_output_name", "p4", "c4"},
    {command_get_output_name, "command_get_output_name", "", ""},
    {command_set_output_module, "command_set_output_module", "h4", "s4"},
    {command_get_output_module, "command_get_output_module", "", ""},
    {54, "code 54", "", ""},
    {56, "code 56", "", ""},
    {command_set_output_volume, "command_set_output_volume", "b6 b5 b4", "b6 b5 b4"},
    {command_get_output_volume, "command_get_output_volume", "", ""},
    {command_set_codec_channel_mode, "command_set_codec_channel_mode", "b4", "b4"},
    {command_get_codec_channel_mode, "command_get_codec_channel_mode", "", ""},
    {command_set_output_ports, "command_set_output_ports", "b4", "b4"},
    {command_get_output_ports, "command_get_output_ports", "", ""},
    {command_set_codec_downsampling, "command_set_codec_downsampling", "b4", "b4"},
    {command_get_codec_downsampling, "command_get_codec_downsampling", "", ""},
    {command_set_codec_equalizer, "command_set_codec_equalizer", "p4", "B4=64"},
    {command_get_codec_equalizer, "command_get_codec_equalizer", "", ""},
    {command_set_codec_module, "command_set_codec_module", "h4", "s4"},
    {command_set_notification_mask, "command_set_notification_mask", "w4", "l4"},
    {command_get_notification_mask, "command_get_notification_mask", "", ""},
    {command_set_debug_level, "command_set_debug_level", "b4", "b4"},
    {command_get_debug_level, "command_get_debug_level", "", ""},

    {notify_ready, "notify_ready", "", ""},
    {notify_ack, "notify_ack", "b4", "b4"},
    {notify_nack, "notify_nack", "b4 h6", "b4 s6"},
    {notify_pong, "notify_pong", "w4", "l4"},
    {notify_exited, "notify_exited", "", ""},
    {notify_player_state, "notify_player_state", "b4", "b4"},
    {notify_player_mode, "notify_player_mode", "w4", "l4"},
    {notify_environment_integer, "notify_environment_integer", "p4 w8", "c4 l8"},
    {notify_environment_string, "notify_environment_string", "p4 p8", "c4 c8"},
    {notify_input_state, "notify_input_state", "b4", "b4"},
    {notify_input_name, "notify_input_name", "p4", "c4"},
    {notify_input_caps, "notify_input_caps", "w4", "l4"},
    {notify_input_position, "notify_input_position", "w4 w8", "l4 l8"},
    {notify_input_position_range, "notify_input_position_range", "w4", "l4"},
    {notify_input_timecode, "notify_input_timecode", "b4 b5 b6 b7", "b4 b5 b6 b7"},
    {notify_input_timecode_granularity, "notify_input_timecode_granularity", "w4", "l4"},
    {notify_input_module, "notify_input_module", "h4", "s4"},
    {notify_input_module_info, "notify_input_module_info", module_info_call, module_info_wire},
    {notify_input_device_info, "notify_input_device_info", device_info_call, device_info_wire},
    {notify_input_filter_info, "notify_input_filter_info", filter_info_call, filter_info_wire},
    {notify_output_state, "notify_output_state", "b4", "b4"},
    {notify_output_name, "notify_output_name", "p4", "c4"},
    {notify_output_caps, "notify_output_caps", "w4", "l4"},
    {96, "code 96", "w4 w8", "l4 l8"},
    {98, "code 98", "b4 b5 b6 b7", "b4 b5 b6 b7"},
    {100, "code 100", "b6 b5 b4", "b6 b5 b4"},
    {notify_output_balance, "notify_output_balance", "b6", "b6"},
    {notify_output_pcm_level, "notify_output_pcm_level", "b5", "b5"},
    {notify_output_master_level, "notify_output_master_level", "b4", "b4"},
    {notify_codec_channel_mode, "notify_codec_channel_mode", "b4", "b4"},
    {notify_output_ports, "notify_output_ports", "b4", "b4"},
    {notify_output_module, "notify_output_module", "h4", "s4"},
    {notify_output_module_info, "notify_output_module_info", module_info_call, module_info_wire},
    {notify_output_device_info, "notify_output_device_info", device_info_call, device_info_wire},
    {notify_output_filter_info, "notify_output_filter_info", filter_info_call, filter_info_wire},
    {notify_stream_mime_type, "notify_stream_mime_type", "p4", "c4"},
    {notify_stream_duration, "notify_stream_duration", "w4", "l4"},
    {notify_stream_parameters, "notify_stream_parameters", "w4 h8 b10", "l4 s8 b10"},
    {notify_stream_properties, "notify_stream_properties", "w4 p8", "p8:4"},
    {notify_codec_downsampling, "notify_codec_downsampling", "b4", "b4"},
    {notify_codec_equalizer, "notify_codec_equalizer", "p4", "B4=64"},
    {notify_codec_module, "notify_codec_module", "h4", "s4"},
    {notify_codec_module_info, "notify_codec_module_info", module_info_call, module_info_wire},
    {notify_codec_device_info, "notify_codec_device_info", device_info_call, device_info_wire},
    {notify_notification_mask, "notify_notification_mask", "w4", "l4"},
    {notify_debug_level, "notify_debug_level", "b4", "b4"},
    {notify_progress, "notify_progress", "b4 b5 h6 p8", "b4 b5 s6 c8"},
    {notify_debug, "notify_debug", "b4 b5 p8", "b4 b5 c8"},
    {notify_error, "notify_error", "b4 h6 p8", "b4 s6 c8"},
    {notify_module_event, "notify_module_event", "b4 h6 p8 w12", "b4 s6 B8:12"},

    {command_feedback_handler_module_register, "command_feedback_handler_module_register", "p4", "c4"},
    {126, "code 126", "", ""},
    {command_feedback_handler_modules_list, "command_feedback_handler_modules_list", "", ""},
    {command_feedback_exit, "command_feedback_exit", "", ""},
    {command_feedback_handler_start, "command_feedback_handler_start", "", ""},
    {command_feedback_handler_stop, "command_feedback_handler_stop", "", ""},
    {feedback_pause, "feedback_pause", "w4 w8", "l4 l8"},
    {feedback_resume, "feedback_resume", "w4 w8", "l4 l8"},
    {feedback_flush, "feedback_flush", "", ""},
    {command_feedback_handler_send_message, "command_feedback_handler_send_message", block_call, block_wire},
    {feedback_pcm_event, "feedback_pcm_event", pcm_event_call, pcm_event_wire},
    {feedback_user_event, "feedback_user_event", "w4 w8 w12", "l4 l8 l12"},
    {feedback_timecode_event, "feedback_timecode_event", "w4 w8 b12 b13 b14 b15", "l4 l8 b12 b13 b14 b15"},
    {feedback_position_event, "feedback_position_event", "w4 w8 w12 w16", "l4 l8 l12 l16"},
    {command_set_feedback_rate, "command_set_feedback_rate", "b4", "b4"},
    {command_get_feedback_rate, "command_get_feedback_rate", "", ""},
    {command_set_feedback_handler_name, "command_set_feedback_handler_name", "p4", "c4"},
    {142, "code 142", "", ""},
    {command_set_feedback_handler_module, "command_set_feedback_handler_module", "h4", "s4"},
    {144, "code 144", "", ""},
    {command_feedback_set_environment_integer, "command_feedback_set_environment_integer", "p4 w8", "c4 l8"},
    {command_feedback_get_environment_integer, "command_feedback_get_environment_integer", "p4", "c4"},
    {command_feedback_set_environment_string, "command_feedback_set_environment_string", "p4 p8", "c4 c8"},
    {command_feedback_get_environment_string, "command_feedback_get_environment_string", "p4", "c4"},
    {command_feedback_unset_environment, "command_feedback_unset_environment", "p4", "c4"},

    {notify_feedback_rate, "notify_feedback_rate", "b4", "b4"},
    {notify_feedback_handler_state, "notify_feedback_handler_state", "b4", "b4"},
    {notify_feedback_handler_module, "notify_feedback_handler_module", "h4", "s4"},
    {notify_feedback_handler_module_info, "notify_feedback_handler_module_info", module_info_call, module_info_wire},
    {notify_feedback_handler_name, "notify_feedback_handler_name", "p4", "c4"},
    {notify_feedback_handler_device_info, "notify_feedback_handler_device_info", device_info_call, device_info_wire},
    {notify_feedback_environment_integer, "notify_feedback_environment_integer", "p4 w8", "c4 l8"},
    {157, "code 157", "w4 w8", "l4 l8"},
    {158, "code 158", pcm_event_call, pcm_event_wire},
    {159, "code 159", "w4 w8 w12", "l4 l8 l12"},
};

// A tiny reader of the row notation, run at compile time.
struct notation {
    const char* at;
    bool ok = true;

    constexpr void skip_spaces()
    {
        while (*at == ' ')
            ++at;
    }
    constexpr bool done()
    {
        skip_spaces();
        return *at == '\0';
    }
    constexpr int number()
    {
        if (*at < '0' || *at > '9')
            ok = false;
        int n = 0;
        while (*at >= '0' && *at <= '9')
            n = n * 10 + (*at++ - '0');
        return n;
    }
    constexpr bool take(char c)
    {
        if (*at != c)
            return false;
        ++at;
        return true;
    }
};

constexpr bool valid_offset(int offset, int width)
{
    return offset >= 4 && offset + width <= 24 && offset % width == 0;
}

constexpr message_layout parse(const layout_row& row)
{
    message_layout layout{};
    layout.name = row.name;
    notation call{row.call};
    while (!call.done()) {
        char kind = *call.at++;
        int offset = call.number();
        int width = kind == 'b' ? 1 : kind == 'h' ? 2 : 4;
        if (layout.argument_count == 6 || (kind != 'b' && kind != 'h' && kind != 'w' && kind != 'p') ||
            !valid_offset(offset, width))
            return {};
        layout.arguments[layout.argument_count++] = {static_cast<argument_kind>(kind), static_cast<uint8_t>(offset)};
    }
    notation wire{row.wire};
    while (!wire.done()) {
        wire_field f{};
        f.tag = *wire.at++;
        f.offset = static_cast<uint8_t>(wire.number());
        int width = f.tag == 'b' ? 1 : f.tag == 's' ? 2 : 4;
        if (layout.field_count == 6 || !valid_offset(f.offset, width))
            return {};
        if (f.tag == 'B' || f.tag == 'p') {
            if (wire.take(':')) {
                f.length = block_length::word_at;
                f.length_offset = static_cast<uint8_t>(wire.number());
            } else if (f.tag == 'B' && wire.take('=')) {
                int first = wire.number();
                if (wire.take('*')) {
                    f.length = block_length::product_halves;
                    f.length_offset = static_cast<uint8_t>(first);
                    f.factor_offset = static_cast<uint8_t>(wire.number());
                } else {
                    f.length = block_length::fixed;
                    f.fixed_length = static_cast<uint16_t>(first);
                }
            } else {
                return {};
            }
        } else if (f.tag != 'b' && f.tag != 's' && f.tag != 'l' && f.tag != 'c') {
            return {};
        }
        layout.fields[layout.field_count++] = f;
    }
    if (!call.ok || !wire.ok)
        return {};
    return layout;
}

constexpr std::array<message_layout, player_message_code_limit> build_layouts()
{
    std::array<message_layout, player_message_code_limit> layouts{};
    for (const layout_row& row : rows)
        layouts[row.code] = parse(row);
    return layouts;
}

constexpr auto layouts = build_layouts();

constexpr bool every_row_parses_once()
{
    size_t filled = 0;
    for (const message_layout& layout : layouts)
        filled += layout.name != nullptr;
    for (const layout_row& row : rows)
        if (layouts[row.code].name == nullptr)
            return false;
    return filled == std::size(rows);
}
static_assert(every_row_parses_once(), "a row of the message table is malformed or repeated");

} // namespace

const message_layout* find_message_layout(int code)
{
    if (code <= 0 || code >= player_message_code_limit)
        return nullptr;
    const message_layout& layout = layouts[code];
    return layout.name == nullptr ? nullptr : &layout;
}

} // namespace melvox
