// melvox-play: plays or converts inputs in turn through a Melvox player.
#include "melvox.h"
#include "melvox_modules.h"
#include "module_path.h"
#include "options.h"
#include "output_name.h"
#include "progress_line.h"
#include "stream_format.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr int exit_played = 0, exit_failed = 1, exit_usage = 2;

// The signal that asks melvox-play to stop (SIGINT, SIGTERM, SIGHUP), 0 while
// none came. It then stops the player, finishes the output (a WAV file's
// sizes), ends the player's processes and exits with 128 + the signal; a
// second one ends it at once.
volatile std::sig_atomic_t stop_signal = 0;

extern "C" void on_stop_signal(int signal)
{
    if (stop_signal != 0)
        std::_Exit(128 + stop_signal);
    stop_signal = signal;
}

// Installed once the player's processes have started, which keep their own
// handling of these signals.
void catch_stop_signals()
{
#ifdef _WIN32
    std::signal(SIGINT, on_stop_signal);
    std::signal(SIGTERM, on_stop_signal);
#else
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
#endif
}

// How often a wait for the player looks whether a stop signal came.
constexpr long signal_check_us = 50000;
constexpr const char* stream_title_property = "icy/StreamTitle";
// The MPEG codec's exact duration in milliseconds, which seeking needs.
constexpr const char* duration_property = "mpeg/duration-ms";
constexpr const char* wave_codec_name = "WAVE Audio Codec";
#ifdef _WIN32
constexpr const char* wave_library = "libmelvox-wave.dll";
#else
constexpr const char* wave_library = "libmelvox-wave.so";
#endif

// Whether standard error is a terminal that can show the progress line. A
// Windows console interprets the line's escape sequences only when asked to.
bool progress_terminal()
{
#ifdef _WIN32
    if (!_isatty(_fileno(stderr)))
        return false;
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING | ENABLE_PROCESSED_OUTPUT);
#else
    return isatty(STDERR_FILENO);
#endif
}

void say(const std::string& text)
{
    std::fprintf(stderr, "melvox-play: %s\n", text.c_str());
}

// One player and what its notifications tell.
class session {
public:
    explicit session(const play_options& o) : options_(o), show_progress_(!o.quiet && progress_terminal()) {}

    ~session() { end_player(); }

    void end_player()
    {
        if (player_ != nullptr)
            player_delete(player_);
        player_ = nullptr;
    }

    int start()
    {
        if (int r = player_new(&player_, nullptr); r < 0)
            return r;
        player_message m;
        for (;;) {
            if (int r = player_wait_message(player_, &m, -1); r < 0)
                return r;
            if (m.code == notify_ready)
                return 0;
        }
    }

    // Sends a command and waits for its answer; what arrives meanwhile is
    // taken in. 0 or the command's error.
    template <typename... Args>
    int command(int code, Args... args)
    {
        int r = player_command(player_, taken, this, -1, code, args...);
        if (r >= 0)
            release_report();
        return r;
    }

    // Tells a failure once: what failed, the error, and the report of the
    // module that came just before it (which may say why).
    void fail(const std::string& what, int error)
    {
        std::string why = error_string(error);
        if (held_report_.find(why) != std::string::npos)
            why = held_report_;
        else if (!held_report_.empty())
            why += ": " + held_report_;
        held_report_.clear();
        note(what + ": " + why);
    }

    // A module's report that no failure followed was a note (a connection
    // made, a mixer missing): shown unless quiet. A side of the player that
    // ended is a failure even when playback goes on: always shown.
    void release_report()
    {
        if (!held_report_.empty() && (!options_.quiet || held_failure_))
            note(held_report_);
        held_report_.clear();
    }

    // Plays the open input until its end: 0, the error that stopped it, or
    // error_timeout when a stop signal came.
    int play_to_end()
    {
        error_ = 0;
        in_input_ = true; // the progress line shows from here on
        if (int r = command(command_play); r < 0)
            return r;
        player_message m;
        for (;;) {
            if (stop_signal != 0) {
                command(command_stop);
                return error_timeout;
            }
            int r = player_wait_message(player_, &m, signal_check_us);
            if (r == error_timeout)
                continue;
            if (r < 0)
                return r;
            take(m);
            if (m.code == notify_player_state && progress_.state != player_state_playing) {
                int r = error_ != 0 ? error_ : progress_.state == player_state_end_of_stream ? 0 : error_internal;
                if (r == 0)
                    release_report();
                return r;
            }
        }
    }

    // Whether a codec of this name is registered (built in or loaded).
    bool has_codec(const std::string& name)
    {
        codec_names_.clear();
        command(command_codec_modules_list);
        return std::find(codec_names_.begin(), codec_names_.end(), name) != codec_names_.end();
    }

    // Asks the output modules for their devices: the default sound device
    // (the one that the newest module marks as its default) and the name
    // prefixes that they take.
    void list_outputs()
    {
        default_device_.clear();
        output_prefixes_ = file_format_prefixes();
        command(command_output_modules_list);
    }
    const std::string& default_device() const { return default_device_; }
    const std::vector<std::string>& output_prefixes() const { return output_prefixes_; }

    void begin_input()
    {
        format_ = stream_format{};
        progress_ = progress_state{};
        duration_ms_ = 0;
        shown_.clear();
        title_.clear();
    }

    void end_input()
    {
        if (!shown_.empty())
            std::fputc('\n', stderr);
        shown_.clear();
        in_input_ = false;
    }

    // The input's line as it starts: its name, format, and title and artist.
    void show_input(const std::string& name)
    {
        // A stream whose audio has not been found yet has no format to tell.
        if (!options_.quiet && format_.rate != 0)
            note(name + ": " + format_line(format_));
    }

    uint32_t duration_seconds() const { return progress_.duration_seconds; }
    // The exact duration when the codec tells it, else the whole seconds.
    uint32_t duration_ms() const { return duration_ms_ ? duration_ms_ : progress_.duration_seconds * 1000; }
    bool showing_progress() const { return show_progress_; }

private:
    static void taken(void* self, const player_message* m) { static_cast<session*>(self)->take(*m); }

    void take(const player_message& message)
    {
        const player_message* m = &message;
        // A module's report is held until it is known whether a failure
        // follows it: then it tells why, in the one line of that failure.
        // Anything else that comes means that the work went on.
        switch (message.code) {
        case notify_nack:
        case notify_error:
        case notify_debug:
        case notify_player_state:
        case notify_input_state:
        case notify_output_state: break;
        default: release_report(); break;
        }
        switch (message.code) {
        case notify_debug: hold_report(notify_debug_text(m)); break;
        case notify_error:
            // A side of the player that has ended says how: a failure, shown
            // even when quiet, and the reason of the closed pipe that follows
            // when it was the decoder.
            if (notify_error_code(m) == error_side_ended) {
                hold_report(notify_error_text(m), true);
                break;
            }
            // A module's error (a network stream cut short or stalled) fails
            // the input, as the decoder's does.
            if (notify_error_source(m) != report_source_decoder)
                hold_report(notify_error_text(m));
            if (notify_error_source(m) == report_source_decoder || error_ == 0)
                error_ = notify_error_code(m);
            break;
        case notify_codec_module_info: codec_names_.push_back(notify_codec_module_info_name(m)); break;
        case notify_output_device_info: take_output_device(m); break;
        case notify_progress: take_progress(notify_progress_code(m), notify_progress_value(m)); break;
        case notify_stream_properties:
            take_title(m);
            take_duration(m);
            take_format_properties(m);
            break;
        case notify_stream_mime_type: format_.mime_type = notify_stream_mime_type_mime_type(m); break;
        case notify_stream_parameters:
            format_.rate = notify_stream_parameters_sample_rate(m);
            format_.bitrate = notify_stream_parameters_bitrate(m);
            format_.channels = notify_stream_parameters_channels(m);
            break;
        case notify_stream_duration: progress_.duration_seconds = notify_stream_duration_seconds(m); break;
        case notify_input_timecode:
            progress_.hours = notify_input_timecode_hours(m);
            progress_.minutes = notify_input_timecode_minutes(m);
            progress_.seconds = notify_input_timecode_seconds(m);
            progress_.hundredths = notify_input_timecode_hundredths(m);
            redraw();
            break;
        case notify_input_position:
            progress_.position = notify_input_position_offset(m);
            progress_.range = notify_input_position_out_of(m);
            redraw();
            break;
        case notify_player_state:
            progress_.state = notify_player_state_state(m);
            redraw();
            break;
        default: break;
        }
    }

    void take_output_device(const player_message* m)
    {
        std::string name = notify_output_device_info_name(m);
        if (notify_output_device_info_flags(m) & device_is_default)
            default_device_ = name;
        std::string prefix = output_prefix(name);
        if (!prefix.empty() &&
            std::find(output_prefixes_.begin(), output_prefixes_.end(), prefix) == output_prefixes_.end())
            output_prefixes_.push_back(prefix);
    }

    // A stream that is filling its buffer shows how far it has got.
    void take_progress(uint8_t code, uint16_t value)
    {
        if (code == progress_buffering)
            progress_.buffering = value < 100 ? value : -1;
        else if (code == progress_refilled)
            progress_.buffering = -1;
        else
            return;
        redraw(true);
    }

    // A stream's title (an ICY stream's "StreamTitle") is shown whenever it changes.
    void take_title(const player_message* m)
    {
        const player_property* entries = notify_stream_properties_properties(m);
        for (uint32_t i = 0; entries != nullptr && i < notify_stream_properties_count(m); ++i) {
            const player_property& e = entries[i];
            if (e.type != player_value_string || e.name == nullptr || e.value.string == nullptr ||
                std::strcmp(e.name, stream_title_property) != 0 || title_ == e.value.string)
                continue;
            title_ = e.value.string;
            // ICY titles come quoted: 'Artist - Song'.
            std::string shown = title_;
            if (shown.size() >= 2 && shown.front() == '\'' && shown.back() == '\'')
                shown = shown.substr(1, shown.size() - 2);
            if (!options_.quiet && !shown.empty())
                note("stream title: " + shown);
        }
    }

    // The properties that the input's line shows: the MPEG level, layer and
    // mode, the WAVE coding and sample width, a tag's title and artist.
    void take_format_properties(const player_message* m)
    {
        const player_property* entries = notify_stream_properties_properties(m);
        for (uint32_t i = 0; entries != nullptr && i < notify_stream_properties_count(m); ++i) {
            const player_property& e = entries[i];
            if (e.name == nullptr)
                continue;
            if (e.type == player_value_integer)
                format_.integers[e.name] = e.value.integer;
            else if (e.type == player_value_string && e.value.string != nullptr)
                format_.strings[e.name] = e.value.string;
        }
    }

    void take_duration(const player_message* m)
    {
        const player_property* entries = notify_stream_properties_properties(m);
        for (uint32_t i = 0; entries != nullptr && i < notify_stream_properties_count(m); ++i)
            if (entries[i].type == player_value_integer && entries[i].name != nullptr &&
                std::strcmp(entries[i].name, duration_property) == 0 && entries[i].value.integer > 0)
                duration_ms_ = static_cast<uint32_t>(entries[i].value.integer);
    }

    void hold_report(const char* text, bool failure = false)
    {
        release_report();
        held_report_ = text != nullptr ? text : "";
        held_failure_ = failure;
    }

    // A note ends the progress line first, so that the two do not mix.
    void note(const std::string& text)
    {
        if (!shown_.empty())
            std::fputc('\n', stderr);
        shown_.clear();
        say(text);
    }

    // Buffering is shown while an input opens too.
    void redraw(bool buffering = false)
    {
        if (!show_progress_ || (!in_input_ && !buffering))
            return;
        std::string text = progress_text(progress_);
        if (text == shown_)
            return;
        std::fprintf(stderr, "\r%s\033[K", text.c_str());
        std::fflush(stderr);
        shown_ = text;
    }

    const play_options& options_;
    bool show_progress_;
    bool in_input_ = false;
    std::string shown_; // the progress line on screen, empty when none
    uint32_t duration_ms_ = 0;
    player* player_ = nullptr;
    progress_state progress_;
    stream_format format_;
    int error_ = 0;
    std::string default_device_;
    std::vector<std::string> output_prefixes_;
    std::vector<std::string> codec_names_;
    std::string title_;
    std::string held_report_;
    bool held_failure_ = false; // the held report tells of a failure
};

// Loads the modules named on the command line (and the WAVE codec, unless
// the library has it built in); false when one named by the user cannot be
// had.
bool load_modules(session& s, const play_options& o)
{
    if (!s.has_codec(wave_codec_name)) {
        std::string wave = find_module_library(wave_library);
        if (wave.empty()) {
            if (!o.quiet)
                say(std::string(wave_library) + " not found: WAVE files cannot be played");
        } else if (int r = s.command(command_codec_module_register, wave.c_str()); r < 0) {
            // Only WAVE files are lost: a warning, which quiet hides.
            if (o.quiet)
                s.release_report();
            else
                s.fail("cannot load " + wave, r);
        }
    }
    struct kind {
        const std::vector<std::string>& names;
        int command;
        const char* what;
    };
    for (const kind& k : {kind{o.codec_modules, command_codec_module_register, "codec"},
                          kind{o.input_modules, command_input_module_register, "input"},
                          kind{o.output_modules, command_output_module_register, "output"}})
        for (const std::string& name : k.names)
            if (int r = s.command(k.command, name.c_str()); r < 0) {
                s.fail(std::string("cannot load ") + k.what + " module " + name, r);
                return false;
            }
    return true;
}

bool configure(session& s, const play_options& o)
{
    // Stream titles come with "icy:" streams, which the library refuses unless
    // asked, and MP3 files play gapless, exactly as long as what was encoded;
    // a -e option may still turn either off.
    for (const char* name : {"INPUT.STREAM.ACCEPT-ICY", "CODEC.MPEG.GAPLESS"})
        if (int r = s.command(command_set_environment_integer, name, 1); r < 0) {
            s.fail(std::string("cannot set ") + name, r);
            return false;
        }
    for (const auto& [name, value] : o.environment) {
        std::optional<int> number = whole_number(value);
        int r = number ? s.command(command_set_environment_integer, name.c_str(), *number)
                       : s.command(command_set_environment_string, name.c_str(), value.c_str());
        if (r < 0) {
            s.fail("cannot set " + name, r);
            return false;
        }
    }
    if (o.channel_mode)
        s.command(command_set_codec_channel_mode, *o.channel_mode);
    if (s.showing_progress())
        s.command(command_set_input_timecode_granularity, 10);
    else // nothing shows the position: the decoder need not tell it every few frames
        s.command(command_set_notification_mask, ~uint32_t{notify_input_position_bit | notify_input_timecode_bit});
    return true;
}

// Plays one input; true when it played to its end.
bool play_input(session& s, const play_options& o, const std::string& name)
{
    if (stop_signal != 0)
        return false;
    s.begin_input();
    if (int r = s.command(command_input_open, name.c_str()); r < 0) {
        s.end_input();
        s.fail(name, r);
        return false;
    }
    s.show_input(name);
    if (o.start_seconds && *o.start_seconds > 0) {
        uint32_t duration = s.duration_ms();
        if (duration == 0) {
            say(name + ": cannot start at a position: the length of the stream is unknown");
            return false;
        }
        double ms = std::min(*o.start_seconds * 1000, static_cast<double>(duration));
        if (int r = s.command(command_seek, static_cast<int>(ms), static_cast<int>(duration)); r < 0) {
            s.fail(name + ": cannot start at a position", r);
            return false;
        }
    }
    int r = s.play_to_end();
    s.end_input();
    if (stop_signal != 0)
        return false;
    if (r < 0) {
        s.fail(name, r);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    play_options o;
    if (std::string problem = parse_options(argc, argv, o); !problem.empty()) {
        say(problem);
        std::fputs("Try melvox-play -h.\n", stderr);
        return exit_usage;
    }
    if (o.help) {
        std::fputs(usage_text().c_str(), stdout);
        return exit_played;
    }
    if (o.version) {
        std::fputs("melvox-play, Melvox library " MELVOX_VERSION_STRING "\n", stdout);
        return exit_played;
    }
    session s(o);
    if (int r = s.start(); r < 0) {
        say(std::string("cannot start the player: ") + error_string(r));
        return exit_failed;
    }
    catch_stop_signals();
    if (!load_modules(s, o) || !configure(s, o))
        return exit_failed;
    s.list_outputs();
    std::string output = s.default_device();
    if (!o.output.empty()) {
        std::string problem;
        output = output_for(o.output, s.output_prefixes(), problem);
        if (!problem.empty()) {
            say(problem);
            return exit_usage;
        }
    }
    if (output.empty()) {
        say("no sound device output in this build: give an output with -o (for example -o wav:out.wav)");
        return exit_failed;
    }
    if (int r = s.command(command_output_open, output.c_str()); r < 0) {
        s.fail(output, r);
        return exit_failed;
    }
    bool all_played = true;
    for (const std::string& input : o.inputs)
        all_played = play_input(s, o, input) && all_played;
    // Closing writes what the output keeps back (a WAV file's sizes).
    if (int r = s.command(command_output_close); r < 0) {
        s.fail(output, r);
        all_played = false;
    }
    if (stop_signal != 0) {
        s.end_player(); // its processes end before melvox-play does
        return 128 + stop_signal;
    }
    return all_played ? exit_played : exit_failed;
}
