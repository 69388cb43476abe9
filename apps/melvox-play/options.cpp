#include "options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

std::optional<int> channel_mode_of(const std::string& text)
{
    static const char* const names[] = {"stereo", "left", "right", "mix"};
    for (int i = 0; i < 4; ++i)
        if (text == names[i] || text == std::to_string(i))
            return i;
    return std::nullopt;
}

std::optional<double> seconds_of(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> whole_number(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

std::string usage_text()
{
    return "Usage: melvox-play [options] INPUT...\n"
           "Plays or converts the inputs in turn: a file name, - for standard input, or a\n"
           "URL (http://, ftp://, tcp://, udp://HOST:PORT to listen on PORT, icy://).\n"
           "\n"
           "  -o NAME               output: a device name, or a file as wav:FILE, raw:FILE,\n"
           "                        aiff:FILE, sun:FILE (bare samples) or - for standard output;\n"
           "                        a FILE ending in .wav, .aif, .aiff, .au or .snd takes that\n"
           "                        format, any other is raw\n"
           "  --codec-module NAME   load a codec module (LIBRARY, SYMBOL@LIBRARY)\n"
           "  --input-module NAME   load an input module\n"
           "  --output-module NAME  load an output module\n"
           "  -e NAME=VALUE         set a player environment variable (an integer when\n"
           "                        VALUE is a whole number)\n"
           "  -s SECONDS            start each input at this position\n"
           "  -c MODE               channel mode: stereo, left, right or mix (0 to 3)\n"
           "  -q                    quiet: no progress line or notes, only errors\n"
           "  -h, --help            show this help\n"
           "\n"
           "MPEG audio (.mp1, .mp2, .mp3) is built in; the WAVE codec (libmelvox-wave.so)\n"
           "is loaded by default. icy:// streams are accepted\n"
           "(-e INPUT.STREAM.ACCEPT-ICY=0 refuses them); stream titles are shown.\n"
           "MP3 files play gapless: without the info frame and the encoder's delay and\n"
           "padding that a LAME tag tells (-e CODEC.MPEG.GAPLESS=0 keeps them).\n"
           "Exit status: 0 when every input played to its end, 1 otherwise, 2 for a wrong\n"
           "command line.\n";
}

std::string parse_options(int argc, const char* const* argv, play_options& o)
{
    bool only_inputs = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (only_inputs || arg == "-" || arg.empty() || arg[0] != '-') {
            o.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            only_inputs = true;
            continue;
        }
        // The value of an option: "-oNAME", "--name=VALUE" or the next argument.
        std::string value;
        auto take_value = [&](const std::string& name) -> bool {
            if (arg.size() > name.size() && name.size() == 2) {
                value = arg.substr(2);
                return true;
            }
            if (arg.size() > name.size() && arg[name.size()] == '=') {
                value = arg.substr(name.size() + 1);
                return true;
            }
            if (i + 1 >= argc)
                return false;
            value = argv[++i];
            return true;
        };
        auto is = [&](const std::string& name) {
            if (name.size() == 2)
                return arg.compare(0, 2, name) == 0;
            return arg == name || arg.starts_with(name + "=");
        };
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "-q") {
            o.quiet = true;
        } else if (is("-o")) {
            if (!take_value("-o") || value.empty())
                return "option -o needs an output name";
            o.output = value;
        } else if (is("--codec-module") || is("--input-module") || is("--output-module")) {
            std::string name = arg.substr(0, arg.find('='));
            if (!take_value(name) || value.empty())
                return "option " + name + " needs a module name";
            auto& list = name == "--codec-module"   ? o.codec_modules
                         : name == "--input-module" ? o.input_modules
                                                    : o.output_modules;
            list.push_back(value);
        } else if (is("-e")) {
            if (!take_value("-e"))
                return "option -e needs NAME=VALUE";
            size_t equals = value.find('=');
            if (equals == std::string::npos || equals == 0)
                return "option -e needs NAME=VALUE, not \"" + value + "\"";
            o.environment.emplace_back(value.substr(0, equals), value.substr(equals + 1));
        } else if (is("-s")) {
            if (!take_value("-s"))
                return "option -s needs a number of seconds";
            o.start_seconds = seconds_of(value);
            if (!o.start_seconds)
                return "option -s needs a number of seconds, not \"" + value + "\"";
        } else if (is("-c")) {
            if (!take_value("-c"))
                return "option -c needs a channel mode";
            o.channel_mode = channel_mode_of(value);
            if (!o.channel_mode)
                return "unknown channel mode \"" + value + "\" (stereo, left, right or mix)";
        } else {
            return "unknown option " + arg;
        }
    }
    if (!o.help && o.inputs.empty())
        return "no input given";
    return "";
}
