// The feedback side's queue of time-stamped events: PCM and user events
// are kept until their time comes, then the running handler gets them.
#include "feedback/feedback_side.h"

#include <algorithm>
#include <chrono>
#include <iterator>

namespace melvox {
namespace {

// Events are delivered this early, and the side wakes this much before one.
constexpr int64_t delivery_slack_us = 3000;
constexpr int64_t wake_early_us = 1000;

int64_t now_us()
{
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count();
}

int64_t time_of(uint32_t seconds, uint32_t microseconds)
{
    return int64_t{seconds} * 1000000 + microseconds;
}

} // namespace

void queue_pcm(feedback_side& f, const player_message& m)
{
    if (f.handler == nullptr)
        return; // only an open handler gets events
    const int8_t* block = feedback_pcm_event_data(&m);
    uint16_t channels = feedback_pcm_event_channels(&m);
    uint16_t samples = feedback_pcm_event_samples(&m);
    queued_event& e = f.queue.insert(time_of(feedback_pcm_event_seconds(&m), feedback_pcm_event_microseconds(&m)));
    e.type = feedback_event_pcm;
    e.sample_rate = feedback_pcm_event_sample_rate(&m);
    e.channels = channels;
    e.samples_per_channel = samples;
    if (block != nullptr)
        e.data.assign(block, block + size_t{channels} * samples);
    else
        e.data.assign(size_t{channels} * samples, 0);
}

void queue_user(feedback_side& f, const player_message& m)
{
    if (f.handler == nullptr)
        return;
    // The first word is the event's time in whole seconds.
    queued_event& e = f.queue.insert(time_of(feedback_user_event_seconds(&m), 0));
    e.type = feedback_event_user;
    e.data.clear();
    e.user[0] = feedback_user_event_seconds(&m);
    e.user[1] = feedback_user_event_first(&m);
    e.user[2] = feedback_user_event_second(&m);
}

// Takes every event whose time has come; the first of them goes to the
// running handler, the rest (already late) are dropped.
void deliver(feedback_side& f)
{
    int64_t limit = now_us() + delivery_slack_us;
    bool first = true;
    while (!f.queue.empty() && f.queue.earliest().time_us <= limit) {
        const queued_event& q = f.queue.earliest();
        if (first && f.running && f.handler != nullptr) {
            feedback_event e{};
            e.seconds = static_cast<uint32_t>(q.time_us / 1000000);
            e.microseconds = static_cast<uint32_t>(q.time_us % 1000000);
            e.sample_rate = q.sample_rate;
            e.channels = q.channels;
            e.samples_per_channel = q.samples_per_channel;
            e.data = q.data.empty() ? nullptr : q.data.data();
            e.type = q.type;
            std::copy(std::begin(q.user), std::end(q.user), e.user);
            f.handler->table.feedback_handler.event(f.instance, &e);
        }
        first = false;
        f.queue.drop_earliest();
    }
}

// How long to wait for the next message: until just before the earliest
// event, or without limit when there is nothing to deliver.
long long wait_us(const feedback_side& f)
{
    if (f.queue.empty() || f.paused)
        return -1;
    return std::max<int64_t>(0, f.queue.earliest().time_us - now_us() - wake_early_us);
}

void pause_events(feedback_side& f, const player_message& m)
{
    if (!f.paused) {
        f.paused = true;
        f.paused_at_us = time_of(feedback_pause_seconds(&m), feedback_pause_microseconds(&m));
    }
}

void resume_events(feedback_side& f, const player_message& m)
{
    if (f.paused) {
        f.queue.shift(time_of(feedback_resume_seconds(&m), feedback_resume_microseconds(&m)) - f.paused_at_us);
        f.paused = false;
    }
}

} // namespace melvox
