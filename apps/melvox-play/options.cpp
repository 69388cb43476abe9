#include "options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <getopt.h>

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
           "  -o, --output=NAME     output: a device name, or a file as wav:FILE, aiff:FILE,\n"
           "                        sun:FILE (each with its header), raw:FILE (bare samples)\n"
           "                        or - for standard output; a FILE ending in .wav, .aif,\n"
           "                        .aiff, .au or .snd takes that format, any other is raw\n"
           "      --codec-module=NAME\n"
           "                        load a codec module (LIBRARY, SYMBOL@LIBRARY)\n"
           "      --input-module=NAME   load an input module\n"
           "      --output-module=NAME  load an output module\n"
           "  -e, --environment=NAME=VALUE\n"
           "                        set a player environment variable (an integer when\n"
           "                        VALUE is a whole number)\n"
           "  -s, --start=SECONDS   start each input at this position\n"
           "  -c, --channels=MODE   channel mode: stereo, left, right or mix (0 to 3)\n"
           "  -q, --quiet           quiet: no progress line or notes, only errors\n"
           "  -h, --help            show this help\n"
           "      --version         show the version of the Melvox library\n"
           "Short options may be bundled (-qo out.wav); -- ends the options.\n"
           "\n"
           "MPEG audio (.mp1, .mp2, .mp3) is built in; the WAVE codec (libmelvox-wave.so)\n"
           "is loaded by default. icy:// streams are accepted\n"
           "(-e INPUT.STREAM.ACCEPT-ICY=0 refuses them); stream titles are shown.\n"
           "MP3 files play gapless: without the info frame and the encoder's delay and\n"
           "padding that a LAME tag tells (-e CODEC.MPEG.GAPLESS=0 keeps them).\n"
           "Exit status: 0 when every input played to its end, 1 otherwise, 2 for a wrong\n"
           "command line.\n";
}

namespace {

// Long options that have no short form take these codes.
enum : int { codec_module = 256, input_module, output_module, version };

const option long_options[] = {{"output", required_argument, nullptr, 'o'},
                               {"environment", required_argument, nullptr, 'e'},
                               {"start", required_argument, nullptr, 's'},
                               {"channels", required_argument, nullptr, 'c'},
                               {"quiet", no_argument, nullptr, 'q'},
                               {"help", no_argument, nullptr, 'h'},
                               {"codec-module", required_argument, nullptr, codec_module},
                               {"input-module", required_argument, nullptr, input_module},
                               {"output-module", required_argument, nullptr, output_module},
                               {"version", no_argument, nullptr, version},
                               {nullptr, 0, nullptr, 0}};
constexpr const char* short_options = "o:e:s:c:qh";

// The option as the user wrote it: "-o", or "--output" for its long form.
std::string option_name(int c, int long_index)
{
    if (long_index >= 0)
        return std::string("--") + long_options[long_index].name;
    return std::string("-") + static_cast<char>(c);
}

// Why getopt_long refused the word at args[at]: an unknown option, an
// ambiguous abbreviation, a missing or an unwanted value.
std::string refusal(const std::vector<char*>& args, int at)
{
    std::string word = at > 0 && args[static_cast<size_t>(at)] != nullptr ? args[static_cast<size_t>(at)] : "";
    const option* known = nullptr;
    for (const option* l = long_options; optopt != 0 && l->name != nullptr; ++l)
        if (l->val == optopt)
            known = l;
    std::string name = word.starts_with("--") ? word.substr(0, word.find('='))
                       : optopt != 0          ? std::string("-") + static_cast<char>(optopt)
                                              : word;
    int matches = 0;
    for (const option* l = long_options; name.size() > 2 && l->name != nullptr; ++l)
        matches += std::string_view(l->name).starts_with(std::string_view(name).substr(2));
    if (known == nullptr)
        return (matches > 1 ? "ambiguous option " : "unknown option ") + name;
    if (known->has_arg == required_argument)
        return "option " + name + " needs a value";
    return "option " + name + " takes no value";
}

} // namespace

std::string parse_options(int argc, const char* const* argv, play_options& o)
{
    // getopt_long moves the inputs behind the options: it works on a copy.
    std::vector<std::string> words(argv, argv + argc);
    std::vector<char*> args;
    for (std::string& w : words)
        args.push_back(w.data());
    args.push_back(nullptr);
    optind = 0; // from the start, whatever an earlier call left
    opterr = 0; // the messages are ours
    for (;;) {
        int long_index = -1;
        int c = getopt_long(argc, args.data(), short_options, long_options, &long_index);
        if (c == -1)
            break;
        std::string value = optarg != nullptr ? optarg : "";
        switch (c) {
        case 'h': o.help = true; break;
        case 'q': o.quiet = true; break;
        case version: o.version = true; break;
        case 'o':
            if (value.empty())
                return "option " + option_name(c, long_index) + " needs an output name";
            o.output = value;
            break;
        case codec_module:
        case input_module:
        case output_module:
            if (value.empty())
                return "option " + option_name(c, long_index) + " needs a module name";
            (c == codec_module   ? o.codec_modules
             : c == input_module ? o.input_modules
                                 : o.output_modules)
                .push_back(value);
            break;
        case 'e': {
            size_t equals = value.find('=');
            if (equals == std::string::npos || equals == 0)
                return "option " + option_name(c, long_index) + " needs NAME=VALUE, not \"" + value + "\"";
            o.environment.emplace_back(value.substr(0, equals), value.substr(equals + 1));
            break;
        }
        case 's':
            o.start_seconds = seconds_of(value);
            if (!o.start_seconds)
                return "option " + option_name(c, long_index) + " needs a number of seconds, not \"" + value + "\"";
            break;
        case 'c':
            o.channel_mode = channel_mode_of(value);
            if (!o.channel_mode)
                return "unknown channel mode \"" + value + "\" (stereo, left, right or mix)";
            break;
        default: return refusal(args, optind - 1);
        }
    }
    for (int i = optind; i < argc; ++i)
        o.inputs.push_back(args[i]);
    if (!o.help && !o.version && o.inputs.empty())
        return "no input given";
    return "";
}
