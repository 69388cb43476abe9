// The command line of melvox-play.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct play_options {
    std::string output; // empty: the default sound device
    std::vector<std::string> codec_modules;
    std::vector<std::string> input_modules;
    std::vector<std::string> output_modules;
    // Player environment variables; a value that is a whole number is set as
    // an integer, any other as a string.
    std::vector<std::pair<std::string, std::string>> environment;
    std::optional<double> start_seconds;
    std::optional<int> channel_mode;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> inputs;
};

// Reads argv into options; returns a message for the user when the command
// line is wrong, else an empty string.
std::string parse_options(int argc, const char* const* argv, play_options& options);

// The help text.
std::string usage_text();

// The integer that text spells completely (32-bit), if it does.
std::optional<int> whole_number(const std::string& text);
