#include "feedback/feedback_queue.h"

#include <algorithm>

namespace melvox {

queued_event& feedback_queue::insert(int64_t time_us)
{
    if (events_.size() >= capacity)
        drop_earliest();
    if (free_.empty())
        free_.emplace_back();
    auto place = std::find_if(events_.begin(), events_.end(),
                              [time_us](const queued_event& e) { return e.time_us >= time_us; });
    events_.splice(place, free_, free_.begin());
    queued_event& e = *std::prev(place);
    e.time_us = time_us;
    return e;
}

void feedback_queue::drop_earliest()
{
    if (!events_.empty())
        free_.splice(free_.end(), events_, events_.begin());
}

void feedback_queue::shift(int64_t delta_us)
{
    for (queued_event& e : events_)
        e.time_us += delta_us;
}

void feedback_queue::clear()
{
    free_.splice(free_.end(), events_);
}

} // namespace melvox
