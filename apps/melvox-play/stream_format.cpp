#include "stream_format.h"

namespace {

int integer(const stream_format& f, const char* name, int otherwise)
{
    auto it = f.integers.find(name);
    return it != f.integers.end() ? it->second : otherwise;
}

std::string string(const stream_format& f, const char* name)
{
    auto it = f.strings.find(name);
    return it != f.strings.end() ? it->second : "";
}

std::string channels_text(uint32_t channels)
{
    return channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels";
}

// A tag's title and artist; an ICY stream's title ('Artist - Song') stands
// for both.
std::string named(const stream_format& f)
{
    std::string title = string(f, "id3/title"), artist = string(f, "id3/artist");
    std::string icy = string(f, "icy/StreamTitle");
    if (icy.size() >= 2 && icy.front() == '\'' && icy.back() == '\'')
        icy = icy.substr(1, icy.size() - 2);
    if (title.empty() && artist.empty())
        return icy.empty() ? string(f, "icy/name").empty() ? "" : ", " + string(f, "icy/name") : ", " + icy;
    if (artist.empty())
        return ", " + title;
    return ", " + (title.empty() ? std::string("untitled") : title) + " by " + artist;
}

} // namespace

std::string format_line(const stream_format& f)
{
    std::string line;
    int layer = integer(f, "mpeg/layer", 0);
    if (layer >= 1 && layer <= 3) {
        static const char* const levels[] = {"MPEG 2.5", "MPEG-1", "MPEG-2"};
        static const char* const layers[] = {"I", "II", "III"};
        static const char* const modes[] = {"stereo", "joint stereo", "dual channel", "mono"};
        int level = integer(f, "mpeg/level", 1), mode = integer(f, "mpeg/mode", -1);
        line = std::string(level >= 0 && level <= 2 ? levels[level] : "MPEG") + " Layer " + layers[layer - 1] + ", " +
               std::to_string(f.rate) + " Hz, " + (mode >= 0 && mode <= 3 ? modes[mode] : channels_text(f.channels));
        if (f.bitrate != 0)
            line += ", " + std::to_string(f.bitrate) + " kbit/s";
    } else if (std::string coding = string(f, "wave/coding"); !coding.empty()) {
        line = "WAVE " + coding + ", " + std::to_string(f.rate) + " Hz, " + channels_text(f.channels) + ", " +
               std::to_string(integer(f, "wave/bits", 0)) + " bit";
    } else {
        line = (f.mime_type.empty() ? std::string("audio") : f.mime_type) + ", " + std::to_string(f.rate) + " Hz, " +
               channels_text(f.channels);
    }
    return line + named(f);
}
