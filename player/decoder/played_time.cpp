#include "decoder/played_time.h"

#include <algorithm>
#include <cmath>

namespace melvox {

uint32_t frame_microseconds(uint32_t samples, uint32_t rate)
{
    if (rate == 0)
        return 0;
    if (samples <= 2048)
        return samples * 1000000u / rate;
    return (2048000000u / rate) * (samples / 2048) + (samples % 2048) * 1000000u / rate;
}

void add_microseconds(played_time& t, uint32_t microseconds)
{
    uint64_t total = uint64_t{t.microseconds} + microseconds;
    t.seconds += static_cast<uint32_t>(total / 1000000);
    t.microseconds = static_cast<uint32_t>(total % 1000000);
}

played_time played_time_of_seconds(double seconds)
{
    played_time t;
    if (!(seconds > 0))
        return t;
    double whole = std::floor(seconds);
    t.seconds = whole >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(whole);
    t.microseconds = std::min(999999u, static_cast<uint32_t>((seconds - whole) * 1000000.0));
    return t;
}

timecode timecode_of(const played_time& t)
{
    timecode c;
    c.hours = static_cast<uint8_t>(t.seconds / 3600);
    c.minutes = static_cast<uint8_t>(t.seconds % 3600 / 60);
    c.seconds = static_cast<uint8_t>(t.seconds % 60);
    c.hundredths = static_cast<uint8_t>(t.microseconds / 10000);
    return c;
}

uint8_t timecode_fraction(uint8_t hundredths, uint32_t granularity)
{
    if (granularity == 100 || granularity == 0)
        return 0;
    return static_cast<uint8_t>(hundredths - hundredths % granularity);
}

uint32_t position_offset(uint32_t range, float ratio)
{
    if (!(ratio > 0))
        return 0;
    return static_cast<uint32_t>(static_cast<double>(range) * std::min(ratio, 1.0f));
}

} // namespace melvox
