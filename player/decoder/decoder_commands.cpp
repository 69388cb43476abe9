// What the decoder side does with each command it takes.
#include "decoder/commands.h"
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "decoder/stream_notifications.h"

#include <new>
#include <optional>

namespace melvox {
namespace {

const char* string_at(const player_message& m, unsigned offset)
{
    auto s = static_cast<const char*>(player_message_pointer(&m, offset));
    return s == nullptr ? "" : s;
}

player_message notification(int code)
{
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    return m;
}

int notify_byte(player_decoder& d, int code, unsigned offset, uint8_t value)
{
    player_message m = notification(code);
    player_message_set_byte(&m, offset, value);
    return d.notify(m);
}

int notify_half(player_decoder& d, int code, int16_t value)
{
    player_message m = notification(code);
    player_message_set_half(&m, 4, static_cast<uint16_t>(value));
    return d.notify(m);
}

int notify_word(player_decoder& d, int code, uint32_t value)
{
    player_message m = notification(code);
    player_message_set_word(&m, 4, value);
    return d.notify(m);
}

int notify_name(player_decoder& d, int code, const std::optional<std::string>& name)
{
    player_message m = notification(code);
    player_message_set_pointer(&m, 4, name ? name->c_str() : nullptr);
    return d.notify(m);
}

int set_nonzero(uint32_t& setting, uint32_t value)
{
    if (value == 0)
        return error_invalid_parameters;
    setting = value;
    return 0;
}

int get_volume(player_decoder& d)
{
    if (int r = notify_byte(d, notify_output_balance, 6, d.settings.balance); r < 0)
        return r;
    if (int r = notify_byte(d, notify_output_pcm_level, 5, d.settings.pcm_level); r < 0)
        return r;
    return notify_byte(d, notify_output_master_level, 4, d.settings.master_level);
}

int get_equalizer(player_decoder& d)
{
    player_message m = notification(notify_codec_equalizer);
    player_message_set_pointer(&m, 4, d.codec_parameters.equalizer ? d.codec_parameters.equalizer->data() : nullptr);
    return d.notify(m);
}

int set_feedback_rate(player_decoder& d, uint8_t events_per_second)
{
    d.settings.feedback_period_us = events_per_second == 0 ? 0 : 1000000u / events_per_second;
    return 0;
}

int get_feedback_rate(player_decoder& d)
{
    uint32_t period = d.settings.feedback_period_us;
    return notify_byte(d, notify_feedback_rate, 4, static_cast<uint8_t>(period == 0 ? 0 : 1000000u / period));
}

int get_environment_integer(player_decoder& d, const char* name)
{
    int32_t value;
    if (int r = d.environment.get_integer(name, &value); r < 0)
        return r;
    player_message m = notification(notify_environment_integer);
    player_message_set_pointer(&m, 4, name);
    player_message_set_word(&m, 8, static_cast<uint32_t>(value));
    return d.notify(m);
}

int get_environment_string(player_decoder& d, const char* name)
{
    const char* value;
    if (int r = d.environment.get_string(name, &value); r < 0)
        return r;
    player_message m = notification(notify_environment_string);
    player_message_set_pointer(&m, 4, name);
    player_message_set_pointer(&m, 8, value);
    return d.notify(m);
}

int ping(player_decoder& d, const player_message& m)
{
    return notify_word(d, notify_pong, player_message_word(&m, 4));
}

// Runs a command; no value means that the command is not answered.
std::optional<int> run(player_decoder& d, const player_message& m)
{
    decoder_settings& s = d.settings;
    auto half = [&](unsigned offset) { return static_cast<int16_t>(player_message_half(&m, offset)); };
    auto word = [&](unsigned offset) { return player_message_word(&m, offset); };
    auto byte = [&](unsigned offset) { return player_message_byte(&m, offset); };
    auto text = [&](unsigned offset) { return string_at(m, offset); };
    auto block = [&]() { return player_message_pointer(&m, 8); };
    switch (m.code) {
    case command_sync:
        // Only player_sync sets a tag; it waits for the same tag to come back.
        if (word(4) != 0) {
            player_message echo = notification(command_sync);
            player_message_set_word(&echo, 4, word(4));
            d.channel.post(echo);
        }
        return std::nullopt;
    case command_ping: return ping(d, m);
    case command_play: return play(d);
    case command_pause: return pause(d);
    case command_stop: return stop(d);
    case command_seek: return seek(d, word(4), word(8));

    case command_input_open: return open_input(d, text(4));
    case command_input_close: return close_input(d);
    case command_input_send_message: return send_to_input(d, half(4), word(12), block());
    case command_input_add_filter: return add_filter_named(d, module_kind_input_filter, text(8), half(4));
    case command_input_remove_filter: return remove_filter(d, module_kind_input_filter, text(8), half(4));
    case command_input_list_filters: return list_filters(d, module_kind_input_filter);
    case command_input_module_register: return register_module_named(d, module_kind_input, text(4));
    case command_input_module_query: return query_module(d, module_kind_input, half(4));
    case command_input_modules_list: return list_modules(d, module_kind_input);

    case command_output_open: return open_output(d, text(4));
    case command_output_close: return close_output(d);
    case command_output_send_message: return send_to_output(d, half(4), word(12), block());
    case command_output_mute: return output_action(d, control_mute);
    case command_output_unmute: return output_action(d, control_unmute);
    case command_output_reset: return output_reset(d);
    case command_output_drain: return output_action(d, control_drain);
    case command_output_add_filter: return add_filter_named(d, module_kind_output_filter, text(8), half(4));
    case command_output_remove_filter: return remove_filter(d, module_kind_output_filter, text(8), half(4));
    case command_output_list_filters: return list_filters(d, module_kind_output_filter);
    case command_output_module_register: return register_module_named(d, module_kind_output, text(4));
    case command_output_module_query: return query_module(d, module_kind_output, half(4));
    case command_output_modules_list: return list_modules(d, module_kind_output);
    case command_codec_module_register: return register_module_named(d, module_kind_codec, text(4));
    case command_codec_module_query: return query_module(d, module_kind_codec, half(4));
    case command_codec_modules_list: return list_modules(d, module_kind_codec);

    case command_set_player_mode: s.player_mode = word(4); return 0;
    case command_get_player_mode: return notify_word(d, notify_player_mode, s.player_mode);

    case command_set_environment_integer:
        return d.environment.set_integer(string_at(m, 4), static_cast<int32_t>(word(8)));
    case command_get_environment_integer: return get_environment_integer(d, string_at(m, 4));
    case command_set_environment_string: return d.environment.set_string(string_at(m, 4), string_at(m, 8));
    case command_get_environment_string: return get_environment_string(d, string_at(m, 4));
    case command_unset_environment: return d.environment.unset(string_at(m, 4));

    // Names and module ids are stored for the next open.
    case command_set_input_name: return set_input_name(d, text(4));
    case command_get_input_name: return notify_name(d, notify_input_name, s.input_name);
    case command_set_input_module: return set_input_module(d, half(4));
    case command_get_input_module: return notify_half(d, notify_input_module, s.input_module);
    case command_set_output_name: return set_output_name(d, text(4));
    case command_get_output_name: return notify_name(d, notify_output_name, s.output_name);
    case command_set_output_module: return set_output_module(d, half(4));
    case command_get_output_module: return notify_half(d, notify_output_module, s.output_module);
    case command_set_codec_module: return set_codec_module(d, half(4));

    case command_set_input_position_range: return set_nonzero(s.position_range, word(4));
    case command_get_input_position_range: return notify_word(d, notify_input_position_range, s.position_range);
    case command_set_input_timecode_granularity: return set_nonzero(s.timecode_granularity, word(4));
    case command_get_input_timecode_granularity:
        return notify_word(d, notify_input_timecode_granularity, s.timecode_granularity);

    case command_set_output_volume: return set_volume(d, byte(6), byte(5), byte(4));
    case command_get_output_volume: return get_volume(d);
    case command_set_output_ports: return set_ports(d, byte(4));
    case command_get_output_ports: return notify_byte(d, notify_output_ports, 4, s.output_ports);

    case command_set_codec_channel_mode: return set_channel_mode(d, byte(4));
    case command_get_codec_channel_mode:
        return notify_byte(d, notify_codec_channel_mode, 4, d.codec_parameters.channel_mode);
    case command_set_codec_downsampling: return set_downsampling(d, byte(4));
    case command_get_codec_downsampling:
        return notify_byte(d, notify_codec_downsampling, 4, d.codec_parameters.downsampling);
    case command_set_codec_equalizer:
        return set_equalizer(d, static_cast<const int8_t*>(player_message_pointer(&m, 4)));
    case command_get_codec_equalizer: return get_equalizer(d);

    case command_set_notification_mask: s.notification_mask = word(4); return 0;
    case command_get_notification_mask: return notify_word(d, notify_notification_mask, s.notification_mask);
    case command_set_debug_level: s.debug_level = byte(4); return 0;
    case command_get_debug_level: return notify_byte(d, notify_debug_level, 4, s.debug_level);
    case command_set_feedback_rate: return set_feedback_rate(d, byte(4));
    case command_get_feedback_rate: return get_feedback_rate(d);

    default: return std::nullopt; // codes without an entry have no effect and no answer
    }
}

// Commands that belong to the feedback side travel on unchanged; it answers them.
bool for_feedback_side(uint32_t code)
{
    switch (code) {
    case command_feedback_handler_module_register:
    case command_feedback_handler_modules_list:
    case command_feedback_handler_start:
    case command_feedback_handler_stop:
    case command_feedback_handler_send_message:
    case command_set_feedback_handler_name:
    case command_set_feedback_handler_module:
    case command_feedback_set_environment_integer:
    case command_feedback_get_environment_integer:
    case command_feedback_set_environment_string:
    case command_feedback_get_environment_string:
    case command_feedback_unset_environment: return true;
    default: return false;
    }
}

} // namespace

void take_command(player_decoder& d, const player_message& m)
{
    int code = static_cast<int>(m.code);
    if (for_feedback_side(m.code)) {
        // A feedback side that cannot be reached answers nothing: say so here.
        if (int r = d.channel.post_to_feedback(m); r < 0)
            d.answer(code, r);
        return;
    }
    std::optional<int> result;
    try {
        result = run(d, m);
    } catch (const std::bad_alloc&) {
        result = error_out_of_memory; // storing a name or setting failed
    }
    if (result)
        d.answer(code, *result);
}

} // namespace melvox
