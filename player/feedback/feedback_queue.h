// The feedback side's queue of time-stamped events, kept in time order and
// bounded, with its records reused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

namespace melvox {

struct queued_event {
    int64_t time_us = 0; // wall clock
    uint32_t type = 0;   // feedback_event_pcm or feedback_event_user
    uint32_t sample_rate = 0;
    uint16_t channels = 0;
    uint16_t samples_per_channel = 0;
    std::vector<int8_t> data; // PCM: channels x samples, channel after channel
    uint32_t user[3] = {};
};

class feedback_queue {
public:
    static constexpr size_t capacity = 200;

    // A record placed at its time: after every event of an earlier time,
    // before those of the same time. When the queue is full the earliest
    // event is dropped first. The caller fills the rest of the record.
    queued_event& insert(int64_t time_us);

    bool empty() const { return events_.empty(); }
    size_t size() const { return events_.size(); }
    const queued_event& earliest() const { return events_.front(); }
    void drop_earliest();
    // Moves every event later by delta (the time spent paused).
    void shift(int64_t delta_us);
    void clear();

    const std::list<queued_event>& events() const { return events_; }

private:
    std::list<queued_event> events_;
    std::list<queued_event> free_; // records kept for reuse
};

} // namespace melvox
