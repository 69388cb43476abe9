// What the decoder side does with each command it takes.
#include "decoder/commands.h"
#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "decoder/stream_notifications.h"
#include "messages/message_layouts.h"
#include "messages/message_packer.h"

#include <new>
#include <optional>

namespace melvox {
namespace {

const char* name_or_null(const std::optional<std::string>& name)
{
    return name ? name->c_str() : nullptr;
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
    if (int r = d.notify(make_notify_output_balance(d.settings.balance)); r < 0)
        return r;
    if (int r = d.notify(make_notify_output_pcm_level(d.settings.pcm_level)); r < 0)
        return r;
    return d.notify(make_notify_output_master_level(d.settings.master_level));
}

int get_equalizer(player_decoder& d)
{
    const auto& bands = d.codec_parameters.equalizer;
    return d.notify(make_notify_codec_equalizer(bands ? bands->data() : nullptr));
}

int set_feedback_rate(player_decoder& d, uint8_t events_per_second)
{
    d.settings.feedback_period_us = events_per_second == 0 ? 0 : 1000000u / events_per_second;
    return 0;
}

int get_feedback_rate(player_decoder& d)
{
    uint32_t period = d.settings.feedback_period_us;
    return d.notify(make_notify_feedback_rate(static_cast<uint8_t>(period == 0 ? 0 : 1000000u / period)));
}

int get_environment_integer(player_decoder& d, const char* name)
{
    int32_t value;
    if (int r = d.environment.get_integer(name, &value); r < 0)
        return r;
    return d.notify(make_notify_environment_integer(name, value));
}

int get_environment_string(player_decoder& d, const char* name)
{
    const char* value;
    if (int r = d.environment.get_string(name, &value); r < 0)
        return r;
    return d.notify(make_notify_environment_string(name, value));
}

// Runs a command; no value means that the command is not answered.
std::optional<int> run(player_decoder& d, const player_message& command)
{
    decoder_settings& s = d.settings;
    const player_message* m = &command;
    switch (command.code) {
    case command_sync:
        // Only player_sync sets a tag; it waits for the same tag to come back.
        if (uint32_t tag = command_sync_tag(m); tag != 0)
            d.channel.post(sync_with_tag(tag));
        return std::nullopt;
    case command_ping: return d.notify(make_notify_pong(command_ping_tag(m)));
    case command_play: return play(d);
    case command_pause: return pause(d);
    case command_stop: return stop(d);
    case command_seek: return seek(d, command_seek_offset(m), command_seek_range(m));

    case command_input_open: return open_input(d, command_input_open_name(m));
    case command_input_close: return close_input(d);
    case command_input_send_message:
        return send_to_input(d, command_input_send_message_type(m), command_input_send_message_size(m),
                             command_input_send_message_data(m));
    case command_input_add_filter:
        return add_filter_named(d, module_kind_input_filter, command_input_add_filter_name(m),
                                command_input_add_filter_position(m));
    case command_input_remove_filter:
        return remove_filter(d, module_kind_input_filter, command_input_remove_filter_name(m),
                             command_input_remove_filter_id(m));
    case command_input_list_filters: return list_filters(d, module_kind_input_filter);
    case command_input_module_register:
        return register_module_named(d, module_kind_input, command_input_module_register_name(m));
    case command_input_module_query: return query_module(d, module_kind_input, command_input_module_query_id(m));
    case command_input_modules_list: return list_modules(d, module_kind_input);

    case command_output_open: return open_output(d, command_output_open_name(m));
    case command_output_close: return close_output(d);
    case command_output_send_message:
        return send_to_output(d, command_output_send_message_type(m), command_output_send_message_size(m),
                              command_output_send_message_data(m));
    case command_output_mute: return output_action(d, control_mute);
    case command_output_unmute: return output_action(d, control_unmute);
    case command_output_reset: return output_reset(d);
    case command_output_drain: return output_action(d, control_drain);
    case command_output_add_filter:
        return add_filter_named(d, module_kind_output_filter, command_output_add_filter_name(m),
                                command_output_add_filter_position(m));
    case command_output_remove_filter:
        return remove_filter(d, module_kind_output_filter, command_output_remove_filter_name(m),
                             command_output_remove_filter_id(m));
    case command_output_list_filters: return list_filters(d, module_kind_output_filter);
    case command_output_module_register:
        return register_module_named(d, module_kind_output, command_output_module_register_name(m));
    case command_output_module_query: return query_module(d, module_kind_output, command_output_module_query_id(m));
    case command_output_modules_list: return list_modules(d, module_kind_output);
    case command_codec_module_register:
        return register_module_named(d, module_kind_codec, command_codec_module_register_name(m));
    case command_codec_module_query: return query_module(d, module_kind_codec, command_codec_module_query_id(m));
    case command_codec_modules_list: return list_modules(d, module_kind_codec);

    case command_set_player_mode: s.player_mode = command_set_player_mode_mode(m); return 0;
    case command_get_player_mode: return d.notify(make_notify_player_mode(s.player_mode));

    case command_set_environment_integer:
        return d.environment.set_integer(command_set_environment_integer_name(m),
                                         command_set_environment_integer_value(m));
    case command_get_environment_integer: return get_environment_integer(d, command_get_environment_integer_name(m));
    case command_set_environment_string:
        return d.environment.set_string(command_set_environment_string_name(m),
                                        command_set_environment_string_value(m));
    case command_get_environment_string: return get_environment_string(d, command_get_environment_string_name(m));
    case command_unset_environment: return d.environment.unset(command_unset_environment_name(m));

    // Names and module ids are stored for the next open.
    case command_set_input_name: return set_input_name(d, command_set_input_name_name(m));
    case command_get_input_name: return d.notify(make_notify_input_name(name_or_null(s.input_name)));
    case command_set_input_module: return set_input_module(d, command_set_input_module_id(m));
    case command_get_input_module: return d.notify(make_notify_input_module(s.input_module));
    case command_set_output_name: return set_output_name(d, command_set_output_name_name(m));
    case command_get_output_name: return d.notify(make_notify_output_name(name_or_null(s.output_name)));
    case command_set_output_module: return set_output_module(d, command_set_output_module_id(m));
    case command_get_output_module: return d.notify(make_notify_output_module(s.output_module));
    case command_set_codec_module: return set_codec_module(d, command_set_codec_module_id(m));

    case command_set_input_position_range:
        return set_nonzero(s.position_range, command_set_input_position_range_range(m));
    case command_get_input_position_range: return d.notify(make_notify_input_position_range(s.position_range));
    case command_set_input_timecode_granularity:
        return set_nonzero(s.timecode_granularity, command_set_input_timecode_granularity_granularity(m));
    case command_get_input_timecode_granularity:
        return d.notify(make_notify_input_timecode_granularity(s.timecode_granularity));

    case command_set_output_volume:
        return set_volume(d, command_set_output_volume_balance(m), command_set_output_volume_pcm_level(m),
                          command_set_output_volume_master_level(m));
    case command_get_output_volume: return get_volume(d);
    case command_set_output_ports: return set_ports(d, command_set_output_ports_ports(m));
    case command_get_output_ports: return d.notify(make_notify_output_ports(s.output_ports));

    case command_set_codec_channel_mode: return set_channel_mode(d, command_set_codec_channel_mode_mode(m));
    case command_get_codec_channel_mode:
        return d.notify(make_notify_codec_channel_mode(d.codec_parameters.channel_mode));
    case command_set_codec_downsampling: return set_downsampling(d, command_set_codec_downsampling_value(m));
    case command_get_codec_downsampling:
        return d.notify(make_notify_codec_downsampling(d.codec_parameters.downsampling));
    case command_set_codec_equalizer: return set_equalizer(d, command_set_codec_equalizer_bands(m));
    case command_get_codec_equalizer: return get_equalizer(d);

    case command_set_notification_mask: s.notification_mask = command_set_notification_mask_mask(m); return 0;
    case command_get_notification_mask: return d.notify(make_notify_notification_mask(s.notification_mask));
    case command_set_debug_level: s.debug_level = command_set_debug_level_level(m); return 0;
    case command_get_debug_level: return d.notify(make_notify_debug_level(s.debug_level));
    case command_set_feedback_rate: return set_feedback_rate(d, command_set_feedback_rate_rate(m));
    case command_get_feedback_rate: return get_feedback_rate(d);

    default: return std::nullopt; // codes without an entry have no effect and no answer
    }
}

} // namespace

void take_command(player_decoder& d, const player_message& m)
{
    int code = static_cast<int>(m.code);
    // Commands that belong to the feedback side travel on unchanged; it answers them.
    if (route_of(code) == message_route::feedback) {
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
