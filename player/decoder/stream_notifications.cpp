#include "decoder/stream_notifications.h"

#include "decoder/pcm_reduction.h"
#include "decoder/pipeline.h"

#include <chrono>

namespace melvox {
namespace {

player_message message(int code)
{
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    return m;
}

void set_time(player_message& m, const played_time& t)
{
    player_message_set_word(&m, 4, t.seconds);
    player_message_set_word(&m, 8, t.microseconds);
}

bool earlier(const played_time& a, const played_time& b)
{
    return a.seconds != b.seconds ? a.seconds < b.seconds : a.microseconds < b.microseconds;
}

} // namespace

played_time wall_clock_now()
{
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count();
    played_time t;
    t.seconds = static_cast<uint32_t>(ms / 1000);
    t.microseconds = static_cast<uint32_t>(ms % 1000 * 1000);
    return t;
}

void post_feedback_time(player_decoder& d, int code)
{
    player_message m = message(code);
    set_time(m, wall_clock_now());
    d.channel.post_to_feedback(m);
}

void post_feedback_flush(player_decoder& d)
{
    d.channel.post_to_feedback(message(feedback_flush));
}

void send_stream_notifications(player_decoder& d)
{
    stream_info& info = d.stream.info;
    if ((info.flags & stream_type_changed) && info.mime_type != nullptr) {
        d.stream.mime_type = info.mime_type;
        player_message m = message(notify_stream_mime_type);
        player_message_set_pointer(&m, 4, d.stream.mime_type.c_str());
        d.notify(m);
    }
    if (uint32_t seconds = info.duration_ms / 1000; seconds != d.sent.duration_seconds) {
        d.sent.duration_seconds = seconds;
        player_message m = message(notify_stream_duration);
        player_message_set_word(&m, 4, seconds);
        d.notify(m);
    }
    if (info.flags & stream_format_changed) {
        player_message m = message(notify_stream_parameters);
        player_message_set_word(&m, 4, info.sample_rate);
        player_message_set_half(&m, 8, static_cast<uint16_t>(info.bitrate));
        player_message_set_byte(&m, 10, static_cast<uint8_t>(info.channels));
        d.notify(m);
    }
    int32_t count;
    const player_property* entries;
    if ((info.flags & stream_properties_changed) && d.properties.list(&count, &entries) == 0) {
        player_message m = message(notify_stream_properties);
        player_message_set_word(&m, 4, static_cast<uint32_t>(count));
        player_message_set_pointer(&m, 8, entries);
        d.notify(m);
    }
    info.flags = 0;
}

void send_position(player_decoder& d, bool always)
{
    uint32_t range = d.settings.position_range;
    uint32_t offset = position_offset(range, d.stream.ratio);
    if (offset == d.sent.position && !always)
        return;
    d.sent.position = std::min(offset, range);
    player_message m = message(notify_input_position);
    player_message_set_word(&m, 4, d.sent.position);
    player_message_set_word(&m, 8, range);
    d.notify(m);
}

void send_timecode(player_decoder& d, bool always)
{
    timecode shown = d.stream.time;
    shown.hundredths = timecode_fraction(shown.hundredths, d.settings.timecode_granularity);
    if (shown == d.sent.time && !always)
        return;
    d.sent.time = shown;
    player_message m = message(notify_input_timecode);
    player_message_set_byte(&m, 4, shown.hours);
    player_message_set_byte(&m, 5, shown.minutes);
    player_message_set_byte(&m, 6, shown.seconds);
    player_message_set_byte(&m, 7, shown.hundredths);
    d.notify(m);
}

void send_feedback_events(player_decoder& d)
{
    played_time t = wall_clock_now();
    add_microseconds(t, d.frame.delay_ms * 1000u);
    uint32_t mask = d.settings.notification_mask;
    const timecode& now = d.stream.time;
    if (mask & feedback_timecode_event_bit) {
        timecode& last = d.sent.feedback_time;
        if (now.hours != last.hours || now.minutes != last.minutes || now.seconds != last.seconds) {
            last = now;
            player_message m = message(feedback_timecode_event);
            set_time(m, t);
            player_message_set_byte(&m, 12, now.hours);
            player_message_set_byte(&m, 13, now.minutes);
            player_message_set_byte(&m, 14, now.seconds);
            player_message_set_byte(&m, 15, timecode_fraction(now.hundredths, d.settings.timecode_granularity));
            d.channel.post_to_feedback(m);
        }
    }
    if (mask & feedback_position_event_bit) {
        uint32_t range = d.settings.feedback_position_range;
        uint32_t offset = position_offset(range, d.stream.ratio);
        if (offset != d.sent.feedback_position) {
            d.sent.feedback_position = std::min(offset, range);
            player_message m = message(feedback_position_event);
            set_time(m, t);
            player_message_set_word(&m, 12, d.sent.feedback_position);
            player_message_set_word(&m, 16, range);
            d.channel.post_to_feedback(m);
        }
    }
    if (d.settings.feedback_period_us != 0 && d.frame.channels != 0 && d.frame.bytes_per_sample == 2) {
        played_time due = d.sent.last_pcm_event;
        add_microseconds(due, d.settings.feedback_period_us);
        if (earlier(due, t)) {
            d.sent.last_pcm_event = t;
            std::vector<int8_t> block = reduce_pcm(static_cast<const int16_t*>(d.frame.buffer),
                                                   d.frame.samples_per_channel, d.frame.channels);
            player_message m = message(feedback_pcm_event);
            set_time(m, t);
            player_message_set_word(&m, 12, d.frame.sample_rate);
            player_message_set_half(&m, 16, static_cast<uint16_t>(d.frame.channels));
            player_message_set_half(&m, 18, feedback_samples_per_channel);
            player_message_set_pointer(&m, 20, block.data());
            d.channel.post_to_feedback(m);
        }
    }
}

void finish_step(player_decoder& d, int r)
{
    if (r == 0)
        send_feedback_events(d);
    if (r == 0 || r == error_invalid_frame || r == error_timeout) {
        send_stream_notifications(d);
        send_position(d, false);
        send_timecode(d, false);
        return;
    }
    // Anything but the end of the input stops playback for a reason that
    // the caller should learn.
    if (r != error_end_of_input_stream) {
        player_message m = message(notify_error);
        player_message_set_byte(&m, 4, report_source_decoder);
        player_message_set_half(&m, 6, static_cast<uint16_t>(static_cast<int16_t>(r)));
        player_message_set_pointer(&m, 8, error_string(r));
        d.notify(m);
    }
    d.set_state(player_state_end_of_stream);
    if ((d.settings.player_mode & player_mode_drain_at_end) && d.output.open) {
        output_set_control(d, output_control{}, control_drain);
        output_close(d);
        player_message m = message(notify_output_state);
        player_message_set_byte(&m, 4, 1);
        d.notify(m);
    }
}

} // namespace melvox
