// What melvox-play tells of an input as it starts: its format, and the title
// and artist that a tag or an ICY stream names.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct stream_format {
    std::string mime_type;
    uint32_t rate = 0, bitrate = 0, channels = 0;
    std::map<std::string, int> integers; // stream properties by name
    std::map<std::string, std::string> strings;
};

// "MPEG-1 Layer III, 44100 Hz, joint stereo, 128 kbit/s" or
// "WAVE PCM, 44100 Hz, stereo, 16 bit", then ", TITLE by ARTIST" when named.
std::string format_line(const stream_format& f);
