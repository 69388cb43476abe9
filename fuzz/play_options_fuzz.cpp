// Feeds arbitrary bytes as what melvox-play reads from outside: its command
// line (the input up to its last 128 bytes, cut at NUL bytes into arguments)
// and the ID3 version 1 tag of the file it plays (the last 128 bytes).
#include "modules/id3v1.h"
#include "options.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 16384)
        return 0;
    size_t line_length = size;
    if (size >= melvox::id3v1_tag_size) {
        line_length = size - melvox::id3v1_tag_size;
        uint8_t tag[melvox::id3v1_tag_size];
        std::memcpy(tag, data + line_length, sizeof tag);
        for (const auto& [name, value] : melvox::read_id3v1(tag)) {
            // A field is at most 30 bytes and never ends in a space.
            if (!name.starts_with("id3/") || value.size() > 30 || (!value.empty() && value.back() == ' '))
                __builtin_trap();
        }
    }
    std::vector<std::string> words{"melvox-play"};
    std::string word;
    for (size_t i = 0; i < line_length; ++i) {
        if (data[i] == '\0') {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(char(data[i]));
        }
    }
    if (!word.empty())
        words.push_back(word);
    std::vector<const char*> argv;
    for (const auto& w : words)
        argv.push_back(w.c_str());
    argv.push_back(nullptr);
    play_options options;
    if (!parse_options(int(words.size()), argv.data(), options).empty())
        return 0;
    // What it plays are words of the command line, as they were typed.
    for (const auto& input : options.inputs)
        if (std::find(words.begin() + 1, words.end(), input) == words.end())
            __builtin_trap();
    return 0;
}
