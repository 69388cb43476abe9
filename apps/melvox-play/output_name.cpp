#include "output_name.h"

#include <algorithm>
#include <cctype>

namespace {

bool prefix_character(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The file format that a file name's extension tells, or "" for none.
std::string format_of_extension(const std::string& name)
{
    static const std::pair<const char*, const char*> extensions[] = {
        {".wav", "wav"}, {".aif", "aiff"}, {".aiff", "aiff"}, {".au", "sun"}, {".snd", "sun"}};
    size_t dot = name.find_last_of('.');
    size_t folder = name.find_last_of("/\\");
    if (dot == std::string::npos || (folder != std::string::npos && dot < folder))
        return "";
    std::string extension = lower(name.substr(dot));
    for (const auto& [ending, format] : extensions)
        if (extension == ending)
            return format;
    return "";
}

} // namespace

const std::vector<std::string>& file_format_prefixes()
{
    static const std::vector<std::string> prefixes = {"raw", "wav", "aiff", "sun"};
    return prefixes;
}

std::string output_prefix(const std::string& name)
{
    size_t colon = name.find(':');
    if (colon == std::string::npos || colon < 2)
        return "";
    if (!std::all_of(name.begin(), name.begin() + static_cast<long>(colon), prefix_character))
        return "";
    return name.substr(0, colon);
}

std::string output_for(const std::string& name, const std::vector<std::string>& known_prefixes, std::string& problem)
{
    if (std::string prefix = output_prefix(name); !prefix.empty()) {
        if (std::find(known_prefixes.begin(), known_prefixes.end(), prefix) != known_prefixes.end())
            return name;
        std::string known;
        for (const std::string& p : known_prefixes)
            known += (known.empty() ? "" : ", ") + p + ":";
        problem = name + ": unknown output prefix \"" + prefix + ":\" (known: " + known + "; write ./" + name +
                  " for a file of that name)";
        return "";
    }
    if (std::string format = format_of_extension(name); !format.empty())
        return format + ":" + name;
    return name;
}
