#include "decoder/stream_notifications.h"

#include "decoder/pcm_reduction.h"
#include "decoder/pipeline.h"

#include <chrono>

namespace melvox {
namespace {

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
    played_time t = wall_clock_now();
    d.channel.post_to_feedback(code == feedback_pause ? make_feedback_pause(t.seconds, t.microseconds)
                                                      : make_feedback_resume(t.seconds, t.microseconds));
}

void post_feedback_flush(player_decoder& d)
{
    d.channel.post_to_feedback(make_feedback_flush());
}

void send_stream_notifications(player_decoder& d)
{
    stream_info& info = d.stream.info;
    if ((info.flags & stream_type_changed) && info.mime_type != nullptr) {
        d.stream.mime_type = info.mime_type;
        d.notify(make_notify_stream_mime_type(d.stream.mime_type.c_str()));
    }
    if (uint32_t seconds = info.duration_ms / 1000; seconds != d.sent.duration_seconds) {
        d.sent.duration_seconds = seconds;
        d.notify(make_notify_stream_duration(seconds));
    }
    if (info.flags & stream_format_changed)
        d.notify(make_notify_stream_parameters(info.sample_rate, static_cast<uint16_t>(info.bitrate),
                                               static_cast<uint8_t>(info.channels)));
    int32_t count;
    const player_property* entries;
    if ((info.flags & stream_properties_changed) && d.properties.list(&count, &entries) == 0)
        d.notify(make_notify_stream_properties(static_cast<uint32_t>(count), entries));
    info.flags = 0;
}

void send_position(player_decoder& d, bool always)
{
    uint32_t range = d.settings.position_range;
    uint32_t offset = position_offset(range, d.stream.ratio);
    if (offset == d.sent.position && !always)
        return;
    d.sent.position = std::min(offset, range);
    d.notify(make_notify_input_position(d.sent.position, range));
}

void send_timecode(player_decoder& d, bool always)
{
    timecode shown = d.stream.time;
    shown.hundredths = timecode_fraction(shown.hundredths, d.settings.timecode_granularity);
    if (shown == d.sent.time && !always)
        return;
    d.sent.time = shown;
    d.notify(make_notify_input_timecode(shown.hours, shown.minutes, shown.seconds, shown.hundredths));
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
            d.channel.post_to_feedback(
                make_feedback_timecode_event(t.seconds, t.microseconds, now.hours, now.minutes, now.seconds,
                                             timecode_fraction(now.hundredths, d.settings.timecode_granularity)));
        }
    }
    if (mask & feedback_position_event_bit) {
        uint32_t range = d.settings.feedback_position_range;
        uint32_t offset = position_offset(range, d.stream.ratio);
        if (offset != d.sent.feedback_position) {
            d.sent.feedback_position = std::min(offset, range);
            d.channel.post_to_feedback(
                make_feedback_position_event(t.seconds, t.microseconds, d.sent.feedback_position, range));
        }
    }
    if (d.settings.feedback_period_us != 0 && d.frame.channels != 0 && d.frame.bytes_per_sample == 2) {
        played_time due = d.sent.last_pcm_event;
        add_microseconds(due, d.settings.feedback_period_us);
        if (earlier(due, t)) {
            d.sent.last_pcm_event = t;
            std::vector<int8_t> block = reduce_pcm(static_cast<const int16_t*>(d.frame.buffer),
                                                   d.frame.samples_per_channel, d.frame.channels);
            d.channel.post_to_feedback(make_feedback_pcm_event(t.seconds, t.microseconds, d.frame.sample_rate,
                                                               static_cast<uint16_t>(d.frame.channels),
                                                               feedback_samples_per_channel, block.data()));
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
    if (r != error_end_of_input_stream)
        d.notify(make_notify_error(report_source_decoder, static_cast<int16_t>(r), error_string(r)));
    d.set_state(player_state_end_of_stream);
    if ((d.settings.player_mode & player_mode_drain_at_end) && d.output.open) {
        output_set_control(d, output_control{}, control_drain);
        output_close(d);
        d.notify(make_notify_output_state(1));
    }
}

} // namespace melvox
