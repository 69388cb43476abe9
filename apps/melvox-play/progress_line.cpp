#include "progress_line.h"

#include "melvox.h"

#include <algorithm>
#include <cstdio>

namespace {

// How much of the stream has played, as a part of a whole; a whole of 0
// when the stream's length is unknown.
struct share {
    uint64_t part = 0, whole = 0;
};

share played_share(const progress_state& s)
{
    if (s.range != 0 && s.position != 0)
        return {std::min(s.position, s.range), s.range};
    // By the time played, which the timecode tells to its granularity only:
    // a stream at its end has played whole.
    uint64_t duration = s.duration_ms != 0 ? s.duration_ms : uint64_t{s.duration_seconds} * 1000;
    uint64_t played = ((s.hours * 60ull + s.minutes) * 60 + s.seconds) * 1000 + s.hundredths * 10ull;
    if (s.state == player_state_end_of_stream)
        played = duration;
    return {std::min(played, duration), duration};
}

} // namespace

std::string progress_text(const progress_state& s)
{
    static const char* const states[] = {"stopped", "playing", "paused", "end"};
    char buffering[24] = "";
    if (s.buffering >= 0)
        std::snprintf(buffering, sizeof buffering, "buffering %d%%", s.buffering);
    const char* state = s.buffering >= 0 ? buffering : s.state >= 0 && s.state < 4 ? states[s.state] : "";
    char line[160];
    int at = std::snprintf(line, sizeof line, "%3d:%02d:%02d.%d", s.hours, s.minutes, s.seconds, s.hundredths / 10);
    if (share played = played_share(s); played.whole != 0) {
        constexpr int bar_width = 20;
        std::string bar(static_cast<size_t>(played.part * bar_width / played.whole), '#');
        bar.resize(bar_width, '.');
        unsigned d = s.duration_seconds;
        at += std::snprintf(line + at, sizeof line - static_cast<size_t>(at), " / %u:%02u:%02u [%s] %3d%%", d / 3600,
                            d % 3600 / 60, d % 60, bar.c_str(), static_cast<int>(played.part * 100 / played.whole));
    }
    std::snprintf(line + at, sizeof line - static_cast<size_t>(at), "  %s", state);
    return line;
}
