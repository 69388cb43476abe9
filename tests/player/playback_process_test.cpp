// Whole players through their real decoder and feedback sides (processes on
// Linux, threads on Windows): WAVE files played to WAV files, stream
// notifications, bad input, and a feedback handler that receives PCM events.
#ifndef _WIN32
#include "child_processes.h"

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include "melvox_modules.h"
#include "codecs/codec_modules.h"
#include "decoder/pcm_reduction.h"
#include "temp_dir.h"
#include "wave_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <thread>

namespace {

constexpr long five_seconds_us = 5000000;

std::string functionName(void* address)
{
    char name[64];
    std::snprintf(name, sizeof name, "function@%llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
    return name;
}

// A feedback handler that sends each event's PCM block back to the caller as
// notify_module_event (source 0x42).
struct Scope {
    feedback_side* side;
    const feedback_services* services;
};

int scopeProbe(const char* name)
{
    return std::strcmp(name, "scope") == 0 ? 0 : -1;
}
int scopeQuery(module_info* info, int flags)
{
    if (flags & query_module_name)
        std::snprintf(info->name, sizeof info->name, "Scope");
    if (flags & query_device_count)
        info->index = 0;
    return 0;
}
int scopeNew(void** instance, const char*, const module_entry*, feedback_side* side, const feedback_services* services)
{
    *instance = new Scope{side, services};
    return 0;
}
int scopeDelete(void* instance)
{
    delete static_cast<Scope*>(instance);
    return 0;
}
int scopeEvent(void* instance, const feedback_event* e)
{
    auto s = static_cast<Scope*>(instance);
    player_message m{};
    m.code = notify_module_event;
    player_message_set_byte(&m, 4, 0x42);
    player_message_set_half(&m, 6, static_cast<uint16_t>(e->channels));
    player_message_set_pointer(&m, 8, e->data);
    player_message_set_word(&m, 12, uint32_t{e->channels} * e->samples_per_channel);
    return s->services->post(s->side, &m);
}

extern "C" int scope_handler_register(feedback_handler_module* t)
{
    t->version = feedback_handler_interface_version;
    t->probe = scopeProbe;
    t->query = scopeQuery;
    t->new_instance = scopeNew;
    t->delete_instance = scopeDelete;
    t->event = scopeEvent;
    return 0;
}

class Playback : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(player_new(&p, nullptr), 0);
        next(notify_ready);
    }

    void TearDown() override
    {
        if (p != nullptr) {
            EXPECT_EQ(player_delete(p), 0);
        }
#ifndef _WIN32
        EXPECT_TRUE(childProcesses().empty());
#endif
    }

    // Waits for a notification of this code (for notify_ack, or a nack),
    // taking in what the others tell.
    player_message next(int code)
    {
        player_message m{};
        for (;;) {
            int r = player_wait_message(p, &m, five_seconds_us);
            EXPECT_EQ(r, 1) << "waiting for " << code;
            if (r != 1)
                return {};
            keep(m);
            bool answer = code == notify_ack && m.code == static_cast<uint32_t>(notify_nack);
            if (m.code == static_cast<uint32_t>(code) || answer)
                return m;
        }
    }

    // Sends a command and returns the result of its acknowledgement.
    template <typename... Args>
    int command(int code, Args... args)
    {
        return player_command(p, kept, this, 30'000'000, code, args...);
    }
    static void kept(void* self, const player_message* m)
    {
        static_cast<Playback*>(self)->keep(*m);
    }

    // Plays the open input until the end of the stream.
    void playToEnd()
    {
        ASSERT_EQ(command(command_play), 0);
        for (;;) {
            player_message m = next(notify_player_state);
            if (m.code == 0 || player_message_byte(&m, 4) == player_state_end_of_stream)
                return;
        }
    }

    void keep(const player_message& m)
    {
        switch (m.code) {
        case notify_stream_mime_type: mime = string_at(m, 4); break;
        case notify_stream_duration: duration = player_message_word(&m, 4); break;
        case notify_stream_parameters:
            rate = player_message_word(&m, 4);
            bitrate = player_message_half(&m, 8);
            channels = player_message_byte(&m, 10);
            break;
        case notify_stream_properties: {
            auto entries = static_cast<const player_property*>(player_message_pointer(&m, 8));
            for (uint32_t i = 0; i < player_message_word(&m, 4); ++i)
                if (entries[i].type == player_value_string)
                    properties[entries[i].name] = entries[i].value.string;
            break;
        }
        case notify_input_position: lastPosition = player_message_word(&m, 4); break;
        case notify_feedback_handler_module_info: handlers.push_back(string_at(m, 8)); break;
        case notify_feedback_handler_state: handlerStates.push_back(player_message_byte(&m, 4)); break;
        case notify_module_event:
            if (player_message_byte(&m, 4) == 0x42) {
                auto data = static_cast<const int8_t*>(player_message_pointer(&m, 8));
                events.emplace_back(data, data + player_message_word(&m, 12));
            }
            break;
        default: break;
        }
    }

    // Waits for the answer to a command sent without waiting: its result.
    int answerTo(int code)
    {
        player_message m = next(notify_ack);
        EXPECT_EQ(player_message_byte(&m, 4), code);
        return m.code == notify_ack ? 0 : static_cast<int16_t>(player_message_half(&m, 6));
    }

    static std::string string_at(const player_message& m, unsigned offset)
    {
        auto s = static_cast<const char*>(player_message_pointer(&m, offset));
        return s != nullptr ? s : "";
    }

    int loadWaveModule()
    {
        return command(command_codec_module_register, WAVE_MODULE_LIBRARY);
    }

    player* p = nullptr;
    TempDir dir;
    std::string mime;
    uint32_t duration = 0, rate = 0, bitrate = 0, channels = 0, lastPosition = 0;
    std::map<std::string, std::string> properties;
    std::vector<std::vector<int8_t>> events;
    std::vector<std::string> handlers;
    std::vector<int> handlerStates;
};

TEST_F(Playback, SixteenBitStereoComesOutAsTheSameWavFile)
{
    WaveLayout wave;
    wave.data = noise16(2 * 44100 * 3 + 2 * 333); // 3 s and a bit: the last block is short
    auto source = waveBytes(wave);
    writeBytes(dir.file("in.wav"), source);
    ASSERT_EQ(loadWaveModule(), 0);
    ASSERT_EQ(command(command_output_open, ("wav:" + dir.file("out.wav")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("in.wav").c_str()), 0);
    EXPECT_EQ(mime, "audio/pcm");
    EXPECT_EQ(duration, 3u);
    EXPECT_EQ(rate, 44100u);
    EXPECT_EQ(bitrate, 1411u);
    EXPECT_EQ(channels, 2u);
    playToEnd();
    EXPECT_EQ(lastPosition, 400u);
    ASSERT_EQ(command(command_output_close), 0);
    EXPECT_EQ(readBytes(dir.file("out.wav")), source);
}

TEST_F(Playback, EightBitMonoIsWidenedAndEndsWithMode4)
{
    WaveLayout wave;
    wave.rate = 11025;
    wave.channels = 1;
    wave.bits = 8;
    wave.data = noise8(11025 * 2 + 100);
    writeBytes(dir.file("in8.wav"), waveBytes(wave));
    ASSERT_EQ(loadWaveModule(), 0);
    ASSERT_EQ(command(command_set_player_mode, player_mode_drain_at_end), 0);
    ASSERT_EQ(command(command_set_output_name, ("wav:" + dir.file("out.wav")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("in8.wav").c_str()), 0);
    playToEnd();
    // Mode 4 closed the output at the end: the file is complete without a close.
    player_message closed = next(notify_output_state);
    EXPECT_EQ(player_message_byte(&closed, 4), 1);
    auto out = readBytes(dir.file("out.wav"));
    ASSERT_EQ(out.size(), 44 + wave.data.size() * 2);
    EXPECT_EQ(le32(out, 24), 11025u);
    EXPECT_EQ(le16(out, 22), 1u);
    EXPECT_EQ(le32(out, 40), wave.data.size() * 2);
    for (size_t i = 0; i < wave.data.size(); ++i)
        ASSERT_EQ(static_cast<int16_t>(le16(out, 44 + 2 * i)), (wave.data[i] - 128) * 256) << i;
}

TEST_F(Playback, TagPropertiesArriveWithTheStream)
{
    WaveLayout wave;
    wave.channels = 1;
    wave.data = noise16(4000);
    auto bytes = waveBytes(wave);
    std::vector<uint8_t> tag(128, ' ');
    std::memcpy(tag.data(), "TAGOrbital Dawn", 15);
    std::memcpy(tag.data() + 33, "OrB", 3);
    tag[127] = 8;
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    writeBytes(dir.file("tagged.mp3"), bytes);
    // The WAVE codec would not take an .mp3 name by itself: name it.
    std::string codecName = functionName(reinterpret_cast<void*>(&wave_codec_module_register));
    ASSERT_EQ(command(command_codec_module_register, codecName.c_str()), 0);
    ASSERT_EQ(command(command_set_codec_module, 1), 0); // 0 is the built-in MPEG codec
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("tagged.mp3").c_str()), 0);
    EXPECT_EQ(properties["id3/title"], "Orbital Dawn");
    EXPECT_EQ(properties["id3/artist"], "OrB");
    EXPECT_EQ(properties["id3/genre"], "Jazz");
    playToEnd();
    ASSERT_EQ(command(command_output_close), 0);
    EXPECT_EQ(readBytes(dir.file("out.raw")), wave.data); // the tag is not sound
}

TEST_F(Playback, BadInputIsRefusedAndThePlayerStaysUsable)
{
    ASSERT_EQ(loadWaveModule(), 0);
    EXPECT_EQ(command(command_codec_module_register, "/nonexistent/libmelvox-nothing.so"), error_library_not_found);
    std::string noSymbol = std::string("no_such_entry@") + WAVE_MODULE_LIBRARY;
    EXPECT_EQ(command(command_codec_module_register, noSymbol.c_str()), error_symbol_not_found);
    EXPECT_EQ(command(command_input_module_register, ""), error_invalid_parameters);
    EXPECT_EQ(command(command_input_open, dir.file("missing.wav").c_str()), error_no_such_file);
    writeBytes(dir.file("text.wav"), std::vector<uint8_t>(100, 'x'));
    EXPECT_EQ(command(command_input_open, dir.file("text.wav").c_str()), error_unsupported_format);
    WaveLayout wave;
    wave.data = noise16(5000);
    auto bytes = waveBytes(wave);
    writeBytes(dir.file("cut.wav"), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 30));
    EXPECT_EQ(command(command_input_open, dir.file("cut.wav").c_str()), error_unsupported_format);
    EXPECT_EQ(command(command_input_open, dir.file("noise.bin").c_str()), error_no_such_file);
    // An empty name is the sound device's; the file output, chosen by its
    // id, refuses it.
    ASSERT_EQ(command(command_set_output_module, 0), 0);
    EXPECT_EQ(command(command_output_open, ""), error_invalid_parameters);
    ASSERT_EQ(command(command_set_output_module, -1), 0);
    EXPECT_EQ(command(command_output_open, ("wav:" + dir.file("no/dir/x.wav")).c_str()), error_open_failed);
    EXPECT_EQ(command(command_input_module_query, 5), error_plugin_module_not_found);

    writeBytes(dir.file("good.wav"), bytes);
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("good.raw")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("good.wav").c_str()), 0);
    playToEnd();
    ASSERT_EQ(command(command_output_close), 0);
    EXPECT_EQ(readBytes(dir.file("good.raw")), wave.data);
}

TEST_F(Playback, AFeedbackHandlerReceivesTheFramesAsPcmEvents)
{
    WaveLayout wave;
    wave.data = noise16(2 * 44100);
    writeBytes(dir.file("in.wav"), waveBytes(wave));
    ASSERT_EQ(loadWaveModule(), 0);
    std::string handler = functionName(reinterpret_cast<void*>(&scope_handler_register));
    ASSERT_EQ(command(command_feedback_handler_module_register, handler.c_str()), 0);
    ASSERT_EQ(command(command_feedback_handler_modules_list), 0);
    EXPECT_EQ(handlers, std::vector<std::string>{"Scope"});
    ASSERT_EQ(command(command_set_feedback_handler_name, "nobody"), 0); // stored; nothing open yet
    ASSERT_EQ(command(command_feedback_handler_start), error_plugin_module_not_found);
    ASSERT_EQ(command(command_set_feedback_handler_name, "scope"), 0);
    ASSERT_EQ(command(command_feedback_handler_start), 0);
    EXPECT_EQ(handlerStates, std::vector<int>{0});
    EXPECT_EQ(command(command_feedback_handler_send_message, 1, 0, nullptr),
              error_no_such_interface); // it takes no messages
    ASSERT_EQ(command(command_set_feedback_rate, 20), 0);
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
    ASSERT_EQ(command(command_input_open, dir.file("in.wav").c_str()), 0);
    playToEnd();
    ASSERT_EQ(command(command_output_close), 0);
    ASSERT_EQ(command(command_feedback_handler_stop), 0);
    EXPECT_EQ(handlerStates, (std::vector<int>{0, 1}));
    ASSERT_FALSE(events.empty());
    // The first event is the first frame: 256 left values, then 256 right.
    std::vector<int16_t> frame(2 * 1024);
    std::memcpy(frame.data(), wave.data.data(), frame.size() * 2);
    auto expected = melvox::reduce_pcm(frame.data(), 1024, 2);
    EXPECT_EQ(events[0], expected);
}

#ifndef _WIN32
// A FIFO that delivers nothing keeps the decoder waiting for its bytes
// without blocking it: a stop ends the wait of an open or of a frame at
// once, commands are answered meanwhile, and a writer that comes late is
// read from its first byte.
TEST_F(Playback, ASilentFifoLeavesThePlayerAnswering)
{
    ASSERT_EQ(loadWaveModule(), 0);
    std::string fifo = dir.file("stream");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("silent.raw")).c_str()), 0);
    // Stops while waiting, after the command that waits (0: none) has been
    // answered with its result.
    auto stopWhileWaiting = [&](int waiting, int result) {
        auto sent = std::chrono::steady_clock::now();
        EXPECT_EQ(player_send_message(p, command_stop), 0);
        if (waiting != 0) {
            EXPECT_EQ(answerTo(waiting), result);
        }
        EXPECT_EQ(answerTo(command_stop), 0);
        // A figure for the record, not a limit.
        std::printf("stop answered after %.1f ms\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
    };
    for (bool withWriter : {false, true}) {
        SCOPED_TRACE(withWriter ? "a writer that writes nothing" : "no writer");
        int writer = withWriter ? open(fifo.c_str(), O_RDWR) : -1; // O_RDWR: opens without a reader
        // The open waits for the first bytes (they tell a WAVE stream) until
        // the stop; the stream then goes by its name.
        ASSERT_EQ(player_send_message(p, command_input_open, fifo.c_str()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stopWhileWaiting(command_input_open, 0);
        // Playing, it waits for a frame and answers meanwhile.
        ASSERT_EQ(command(command_play), 0);
        EXPECT_EQ(player_sync(p, 5000), 0);
        EXPECT_EQ(command(command_ping, 7), 0);
        stopWhileWaiting(0, 0);
        ASSERT_EQ(command(command_input_close), 0);
        if (writer >= 0)
            close(writer);
    }
    EXPECT_TRUE(readBytes(dir.file("silent.raw")).empty());

    // A writer that comes late: the open waits for its header, and every
    // sample arrives.
    WaveLayout wave;
    wave.data = noise16(2 * 20000);
    std::vector<uint8_t> bytes = waveBytes(wave);
    std::thread late([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (size_t at = 0; fd >= 0 && at < bytes.size();) {
            ssize_t n = write(fd, bytes.data() + at, std::min<size_t>(1000, bytes.size() - at));
            if (n <= 0)
                break;
            at += static_cast<size_t>(n);
        }
        close(fd);
    });
    ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("late.raw")).c_str()), 0);
    EXPECT_EQ(command(command_input_open, fifo.c_str()), 0);
    playToEnd();
    EXPECT_EQ(mime, "audio/pcm");
    late.join();
    ASSERT_EQ(command(command_output_close), 0);
    EXPECT_EQ(readBytes(dir.file("late.raw")), wave.data);
}

// The player's processes ignore the signals that a terminal or a service
// manager sends to a whole process group (their caller decides what those
// mean), so a caller that dies of one must still take them with it: idle,
// playing a stream, or waiting for a stream's bytes.
TEST_F(Playback, ACallerThatDiesOfAStopSignalLeavesNoPlayerProcess)
{
    std::signal(SIGPIPE, SIG_IGN); // the feeder writes on after the reader has gone
    std::string fifo = dir.file("stream");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    WaveLayout wave;
    wave.data = noise16(2 * 4410);
    std::vector<uint8_t> bytes = waveBytes(wave);
    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 44);
    for (size_t at : {4, 40}) // a stream of unknown length
        std::fill(header.begin() + static_cast<long>(at), header.begin() + static_cast<long>(at) + 4, 0xff);

    enum class doing { idle, playing, waiting };
    const struct {
        doing what;
        int signal;
    } cases[] = {{doing::idle, SIGINT},
                 {doing::playing, SIGINT},
                 {doing::waiting, SIGINT},
                 {doing::playing, SIGTERM},
                 {doing::playing, SIGHUP}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what == doing::idle      ? "idle"
                                 : c.what == doing::playing ? "playing"
                                                            : "waiting") +
                     ", signal " + std::to_string(c.signal));
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t caller = fork();
        if (caller == 0) {
            // A caller with the default handling of the signal, in a group of its own.
            setpgid(0, 0);
            std::signal(c.signal, SIG_DFL);
            player* q = nullptr;
            player_message m;
            if (player_new(&q, nullptr) != 0 || player_wait_message(q, &m, five_seconds_us) != 1)
                _exit(1);
            auto ask = [&](auto... args) { return player_command(q, nullptr, nullptr, five_seconds_us, args...); };
            bool ok = ask(command_codec_module_register, WAVE_MODULE_LIBRARY) == 0 &&
                      ask(command_feedback_set_environment_integer, "A", 1) == 0; // starts the feedback side
            if (c.what != doing::idle)
                ok = ok && ask(command_output_open, ("raw:" + dir.file("caller.raw")).c_str()) == 0 &&
                     player_send_message(q, command_input_open, fifo.c_str()) == 0;
            if (c.what == doing::playing)
                ok = ok && player_sync(q, 5000) == 0 && ask(command_play) == 0;
            if (!ok)
                _exit(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(100)); // into the stream or its wait
            std::vector<pid_t> sides = childProcesses();
            for (pid_t decoder : childProcesses())
                for (pid_t feedback : childProcesses(decoder))
                    sides.push_back(feedback);
            ssize_t size = static_cast<ssize_t>(sides.size() * sizeof(pid_t));
            if (write(report[1], sides.data(), static_cast<size_t>(size)) != size)
                _exit(1);
            close(report[1]);
            for (;;)
                pause();
        }
        close(report[1]);
        std::thread feeder;
        if (c.what == doing::playing)
            feeder = std::thread([&] {
                int fd = open(fifo.c_str(), O_WRONLY);
                bool ok = fd >= 0 && write(fd, header.data(), header.size()) == static_cast<ssize_t>(header.size());
                while (ok)
                    ok = write(fd, wave.data.data(), wave.data.size()) > 0;
                if (fd >= 0)
                    close(fd);
            });
        pid_t sides[2] = {0, 0};
        ssize_t got = read(report[0], sides, sizeof sides);
        close(report[0]);
        EXPECT_EQ(got, static_cast<ssize_t>(sizeof sides)) << "a decoder and a feedback process";
        auto sent = std::chrono::steady_clock::now();
        kill(-caller, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(caller, &status, 0), caller);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << status;
        // The sides are the init process's children now, gone or zombies.
        auto ended = [](pid_t pid) { return pid == 0 || processState(pid) == 0 || processState(pid) == 'Z'; };
        for (int i = 0; i < 500 && !(ended(sides[0]) && ended(sides[1])); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_TRUE(ended(sides[0])) << "the decoder process outlived its caller";
        EXPECT_TRUE(ended(sides[1])) << "the feedback process outlived its caller";
        // A figure for the record, not a limit.
        std::printf("last player process ended %.1f ms after the signal\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
        for (pid_t side : sides) // what was left behind goes, and lets the feeder go
            if (!ended(side))
                kill(side, SIGKILL);
        if (feeder.joinable())
            feeder.join();
    }
}

// A caller that dies (SIGKILL: no player_delete) stops its decoder's output
// at once: the decoder sees the command pipe's hang-up between two blocks,
// closes its output and ends, which the output's reader sees as its end.
TEST_F(Playback, ACallerKilledMidStreamStopsTheOutputAtOnce)
{
    // Four gigabytes of silence that take no disk: a sparse file.
    WaveLayout wave;
    std::vector<uint8_t> header = waveBytes(wave);
    const uint32_t dataBytes = 0xFFFFFF00u;
    const uint32_t riffBytes = dataBytes + 36; // fits: the data ends 220 bytes short of 4 GiB
    std::memcpy(&header[4], &riffBytes, 4);
    std::memcpy(&header[40], &dataBytes, 4);
    std::string input = dir.file("long.wav");
    writeBytes(input, header);
    ASSERT_EQ(truncate(input.c_str(), static_cast<off_t>(header.size()) + dataBytes), 0);
    std::string fifo = dir.file("out");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int out = open(fifo.c_str(), O_RDONLY | O_NONBLOCK); // no writer yet: opens at once
    ASSERT_GE(out, 0);
    int playing[2];
    ASSERT_EQ(pipe(playing), 0);

    pid_t caller = fork();
    if (caller == 0) {
        // A caller of its own: the fixture's player stays the parent's.
        player* q = nullptr;
        auto step = [&](int code, auto... args) {
            return player_command(q, nullptr, nullptr, 30'000'000, code, args...);
        };
        bool ok = player_new(&q, nullptr) == 0 && step(command_codec_module_register, WAVE_MODULE_LIBRARY) == 0 &&
                  step(command_output_open, ("raw:" + fifo).c_str()) == 0 &&
                  step(command_input_open, input.c_str()) == 0 && step(command_play) == 0;
        char c = ok ? 'p' : 'f';
        (void)!write(playing[1], &c, 1);
        for (;;)
            pause();
    }
    ASSERT_GT(caller, 0);
    close(playing[1]);
    char state = 0;
    ASSERT_EQ(read(playing[0], &state, 1), 1);
    close(playing[0]);
    ASSERT_EQ(state, 'p');

    // Reads what comes until the output ends or time runs out; the time of
    // its last read.
    std::vector<uint8_t> buffer(1 << 16);
    size_t before = 0, after = 0;
    auto drain = [&](size_t& count, std::chrono::steady_clock::time_point until) {
        while (std::chrono::steady_clock::now() < until) {
            pollfd p{out, POLLIN, 0};
            poll(&p, 1, 10);
            ssize_t n = read(out, buffer.data(), buffer.size());
            if (n == 0 && (p.revents & POLLHUP))
                return true;
            if (n > 0)
                count += static_cast<size_t>(n);
        }
        return false;
    };
    drain(before, std::chrono::steady_clock::now() + std::chrono::milliseconds(200));
    EXPECT_GT(before, 0u) << "the stream was playing";
    auto killed = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(caller, SIGKILL), 0);
    int status;
    ASSERT_EQ(waitpid(caller, &status, 0), caller);
    bool ended = drain(after, killed + std::chrono::seconds(5));
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - killed).count();
    close(out);
    ASSERT_TRUE(ended) << after << " bytes came in the 5 s after the caller was killed";
    // A figure for the record; the bound leaves room for a loaded machine.
    std::printf("output ended %.1f ms after the caller was killed (%zu bytes more)\n", ms, after);
    EXPECT_LT(ms, 1000.0);
}
#endif

} // namespace
