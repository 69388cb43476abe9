// Commands that open, close and drive the input and output, with the
// notifications that tell the caller what happened.
#include "decoder/commands.h"
#include "decoder/pipeline.h"
#include "decoder/stream_notifications.h"
#include "messages/message_packer.h"

namespace melvox {
namespace {

// The input and output forms of these notifications share their rows.
void notify_text(player_decoder& d, int code, const std::string& text)
{
    d.notify(recoded(make_notify_input_name(text.c_str()), code));
}

void notify_caps(player_decoder& d, int code, uint32_t caps)
{
    d.notify(recoded(make_notify_input_caps(caps), code));
}

// notify_input_state / notify_output_state: 0 open, 1 closed.
void notify_open_state(player_decoder& d, int code, bool open)
{
    d.notify(recoded(make_notify_input_state(open ? 0 : 1), code));
}

const char* stored_or(std::optional<std::string>& stored, const char* name)
{
    if (name != nullptr && name[0] != '\0')
        stored = name;
    return stored ? stored->c_str() : "";
}

// Closes the output on the decoder's own account (pause, stop, end of stream).
void close_output_quietly(player_decoder& d)
{
    if (!d.output.open)
        return;
    output_close(d);
    notify_open_state(d, notify_output_state, false);
}

bool is_volume(uint8_t value)
{
    return value <= 100;
}

// Hands the remembered volume values and ports to a newly opened output.
void apply_remembered_controls(player_decoder& d)
{
    const decoder_settings& s = d.settings;
    output_control c{};
    uint32_t mask = 0;
    if (is_volume(s.balance)) {
        c.balance = s.balance;
        mask |= control_balance;
    }
    if (is_volume(s.pcm_level)) {
        c.pcm_level = s.pcm_level;
        mask |= control_pcm_level;
    }
    if (is_volume(s.master_level)) {
        c.master_level = s.master_level;
        mask |= control_master_level;
    }
    if (s.output_ports != 255) {
        c.ports = s.output_ports;
        mask |= control_ports;
    }
    if (mask != 0)
        output_set_control(d, c, mask);
    d.notify(make_notify_output_balance(s.balance));
    d.notify(make_notify_output_pcm_level(s.pcm_level));
    d.notify(make_notify_output_master_level(s.master_level));
    d.notify(make_notify_output_ports(s.output_ports));
}

bool valid_module_id(int16_t id, int count)
{
    return id >= -1 && id < count;
}

} // namespace

int open_input(player_decoder& d, const char* name)
{
    const char* use = stored_or(d.settings.input_name, name);
    if (d.input_is_open())
        input_close(d);
    int r = input_new(d, use, d.settings.input_module);
    if (r >= 0)
        r = input_open(d);
    notify_open_state(d, notify_input_state, r >= 0);
    if (r < 0) {
        d.set_state(player_state_stopped);
        return r;
    }
    notify_text(d, notify_input_name, d.input_instance.name);
    notify_caps(d, notify_input_caps, static_cast<uint32_t>(d.input.caps));
    send_stream_notifications(d);
    return 0;
}

int close_input(player_decoder& d)
{
    d.set_state(player_state_stopped);
    if (int r = input_close(d); r < 0)
        return r;
    notify_open_state(d, notify_input_state, false);
    return 0;
}

int open_output(player_decoder& d, const char* name)
{
    const char* use = stored_or(d.settings.output_name, name);
    if (d.output.open)
        output_close(d);
    int r = output_new(d, use, d.settings.output_module);
    if (r >= 0)
        r = output_open(d);
    notify_open_state(d, notify_output_state, r >= 0);
    if (r < 0) {
        d.set_state(player_state_stopped);
        return r;
    }
    notify_text(d, notify_output_name, d.output.name);
    notify_caps(d, notify_output_caps, d.output.caps);
    apply_remembered_controls(d);
    return 0;
}

int close_output(player_decoder& d)
{
    d.set_state(player_state_stopped);
    if (int r = output_close(d); r < 0)
        return r;
    notify_open_state(d, notify_output_state, false);
    return 0;
}

int play(player_decoder& d)
{
    if (!d.input_is_open()) {
        if (int r = open_input(d, nullptr); r < 0)
            return r;
    }
    if (!d.output.open) {
        if (int r = open_output(d, nullptr); r < 0)
            return r;
    }
    output_set_control(d, output_control{}, control_resume);
    post_feedback_time(d, feedback_resume);
    d.set_state(player_state_playing);
    return 0;
}

int pause(player_decoder& d)
{
    if (!d.input_is_open())
        return error_internal;
    if (d.state == player_state_playing) {
        if (d.settings.player_mode & player_mode_close_output_on_pause) {
            output_reset(d);
            close_output_quietly(d);
        } else {
            post_feedback_time(d, feedback_pause);
            if (d.output.open)
                output_set_control(d, output_control{}, control_pause);
        }
    }
    d.set_state(player_state_paused);
    return 0;
}

int stop(player_decoder& d)
{
    if (!d.input_is_open())
        return error_internal;
    output_reset(d);
    if (d.settings.player_mode & player_mode_close_output_on_stop)
        close_output_quietly(d);
    // An input that cannot seek (standard input) simply stays where it is.
    if (seek_ratio(d, 0) == 0) {
        send_position(d, false);
        send_timecode(d, false);
    }
    d.set_state(player_state_stopped);
    return 0;
}

int seek(player_decoder& d, uint32_t offset, uint32_t range)
{
    if (range == 0)
        return error_invalid_parameters;
    if (!d.input_is_open())
        return error_internal; // what every other step answers without an input
    if (d.state == player_state_playing || d.state == player_state_paused)
        output_reset(d);
    if (int r = seek_ratio(d, static_cast<float>(static_cast<double>(offset) / range)); r < 0)
        return r;
    send_position(d, true);
    send_timecode(d, true);
    if (d.state == player_state_end_of_stream)
        d.set_state(player_state_stopped);
    return 0;
}

int set_input_name(player_decoder& d, const char* name)
{
    d.settings.input_name = name != nullptr ? name : "";
    return d.input_is_open() ? open_input(d, nullptr) : 0;
}

int set_input_module(player_decoder& d, int16_t id)
{
    if (!valid_module_id(id, d.input_modules.count()))
        return error_plugin_module_not_found;
    d.settings.input_module = id;
    return d.input_is_open() ? open_input(d, nullptr) : 0;
}

int set_output_name(player_decoder& d, const char* name)
{
    d.settings.output_name = name != nullptr ? name : "";
    return d.output.open ? open_output(d, nullptr) : 0;
}

int set_output_module(player_decoder& d, int16_t id)
{
    if (!valid_module_id(id, d.output_modules.count()))
        return error_plugin_module_not_found;
    d.settings.output_module = id;
    return d.output.open ? open_output(d, nullptr) : 0;
}

int set_codec_module(player_decoder& d, int16_t id)
{
    if (!valid_module_id(id, d.codec_modules.count()))
        return error_plugin_module_not_found;
    d.settings.codec_module = id;
    return d.input_is_open() ? open_input(d, nullptr) : 0;
}

int output_action(player_decoder& d, uint32_t bit)
{
    return output_set_control(d, output_control{}, bit);
}

int output_reset(player_decoder& d)
{
    post_feedback_flush(d);
    return d.output.open ? output_set_control(d, output_control{}, control_reset) : 0;
}

int set_volume(player_decoder& d, uint8_t balance, uint8_t pcm_level, uint8_t master_level)
{
    // Values beyond 0..100 leave that setting as it is.
    output_control c{};
    uint32_t mask = 0;
    auto take = [&](uint8_t& setting, uint8_t value, uint32_t& word, uint32_t bit) {
        if (!is_volume(value))
            return;
        setting = value;
        word = value;
        mask |= bit;
    };
    take(d.settings.balance, balance, c.balance, control_balance);
    take(d.settings.pcm_level, pcm_level, c.pcm_level, control_pcm_level);
    take(d.settings.master_level, master_level, c.master_level, control_master_level);
    return d.output.open && mask != 0 ? output_set_control(d, c, mask) : 0;
}

int set_ports(player_decoder& d, uint8_t ports)
{
    d.settings.output_ports = ports;
    output_control c{};
    c.ports = ports;
    return d.output.open ? output_set_control(d, c, control_ports) : 0;
}

int set_channel_mode(player_decoder& d, uint8_t mode)
{
    d.codec_parameters.channel_mode = mode;
    apply_codec_parameters(d, codec_parameter_channel_mode);
    return output_reset(d);
}

int set_downsampling(player_decoder& d, uint8_t value)
{
    d.codec_parameters.downsampling = value;
    return apply_codec_parameters(d, codec_parameter_downsampling);
}

int set_equalizer(player_decoder& d, const int8_t* bands)
{
    if (bands == nullptr) {
        d.codec_parameters.equalizer.reset();
    } else {
        std::array<int8_t, 64> copy;
        std::copy(bands, bands + copy.size(), copy.begin());
        d.codec_parameters.equalizer = copy;
    }
    return apply_codec_parameters(d, codec_parameter_equalizer);
}

} // namespace melvox
