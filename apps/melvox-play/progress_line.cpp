#include "progress_line.h"

#include <cstdio>

std::string progress_text(const progress_state& s)
{
    static const char* const states[] = {"stopped", "playing", "paused", "end"};
    constexpr int bar_width = 20;
    int percent = s.range != 0 ? static_cast<int>(uint64_t{s.position} * 100 / s.range) : 0;
    int filled = s.range != 0 ? static_cast<int>(uint64_t{s.position} * bar_width / s.range) : 0;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(bar_width, '.');
    char buffering[24] = "";
    if (s.buffering >= 0)
        std::snprintf(buffering, sizeof buffering, "buffering %d%%", s.buffering);
    char line[160];
    unsigned d = s.duration_seconds;
    std::snprintf(line, sizeof line, "%3d:%02d:%02d.%d / %u:%02u:%02u [%s] %3d%%  %s", s.hours, s.minutes, s.seconds,
                  s.hundredths / 10, d / 3600, d % 3600 / 60, d % 60, bar.c_str(), percent,
                  s.buffering >= 0              ? buffering
                  : s.state >= 0 && s.state < 4 ? states[s.state]
                                                : "");
    return line;
}
