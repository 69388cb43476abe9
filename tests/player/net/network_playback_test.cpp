// Whole players through their real decoder processes, reading from loopback
// servers with the built-in network input: WAVE streams over http://, ftp://,
// tcp://, udp:// and icy:// played to raw files byte for byte, the progress
// that the input reports, ICY titles as stream properties, and servers that
// go away in the middle of a stream.
#include "loopback_ftp_server.h"
#include "loopback_server.h"
#include "temp_dir.h"
#include "test_sockets.h"
#include "wave_files.h"

#include "melvox.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "program_runner.h"
#else
#include "ftp_server_process.h"
#include "web_servers.h"
#include <sys/wait.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

using net_test::loopback_server;
using net_test::peer;

namespace {

using clock_type = std::chrono::steady_clock;
constexpr long five_seconds_us = 5000000;
constexpr int network_input_id = 1; // registered right after the file input

std::string text_of(const std::vector<uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

class NetworkPlayback : public ::testing::Test {
protected:
    void SetUp() override
    {
        wave.data = noise16(2 * 44100); // one second of stereo, more than the ring holds
        file = text_of(waveBytes(wave));
        data = text_of(wave.data);
        ASSERT_EQ(player_new(&p, nullptr), 0);
        next(notify_ready);
        ASSERT_GE(command(command_codec_module_register, WAVE_MODULE_LIBRARY), 0);
        ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
    }

    void TearDown() override
    {
        if (p != nullptr) {
            EXPECT_EQ(player_delete(p), 0);
        }
    }

    // Waits for a notification of this code (a nack answers notify_ack),
    // taking in what the others tell.
    player_message next(int code, long wait_us = five_seconds_us)
    {
        player_message m{};
        for (;;) {
            int r = player_wait_message(p, &m, wait_us);
            EXPECT_EQ(r, 1) << "waiting for " << code;
            if (r != 1)
                return {};
            keep(m);
            bool answer = code == notify_ack && m.code == static_cast<uint32_t>(notify_nack);
            if (m.code == static_cast<uint32_t>(code) || answer)
                return m;
        }
    }

    template <typename... Args>
    int command(int code, Args... args)
    {
        return player_command(p, kept, this, 30'000'000, code, args...);
    }
    static void kept(void* self, const player_message* m) { static_cast<NetworkPlayback*>(self)->keep(*m); }

    // Plays the open input to its end (within 20 s), then closes the
    // output: what it wrote.
    std::string playToEnd()
    {
        EXPECT_EQ(command(command_play), 0);
        waitForTheEnd();
        EXPECT_EQ(command(command_output_close), 0);
        return text_of(readBytes(dir.file("out.raw")));
    }

    void waitForTheEnd()
    {
        auto until = clock_type::now() + std::chrono::seconds(20);
        for (;;) {
            player_message m = next(notify_player_state);
            if (m.code == 0 || player_message_byte(&m, 4) == player_state_end_of_stream)
                return;
            if (clock_type::now() > until) {
                ADD_FAILURE() << "the stream did not end";
                return;
            }
        }
    }

    void keep(const player_message& m)
    {
        switch (m.code) {
        case notify_progress:
            progress.push_back(player_message_byte(&m, 5));
            if (player_message_byte(&m, 5) == 17)
                connected = true;
            progressSources.push_back(player_message_byte(&m, 4));
            break;
        case notify_input_module_info:
        case notify_input_device_info: {
            auto text = [&](unsigned at) {
                return std::string(static_cast<const char*>(player_message_pointer(&m, at)));
            };
            std::string line = std::to_string(player_message_byte(&m, 4)) + " " +
                               std::to_string(player_message_byte(&m, 5)) + " ";
            if (m.code == notify_input_device_info)
                line += std::to_string(player_message_byte(&m, 6)) + " ";
            inputModules.push_back(line + text(8) + " / " + text(12));
            break;
        }
        case notify_error: errors.push_back(static_cast<int16_t>(player_message_half(&m, 6))); break;
        case notify_stream_properties: {
            auto entries = static_cast<const player_property*>(player_message_pointer(&m, 8));
            for (uint32_t i = 0; i < player_message_word(&m, 4); ++i)
                if (entries[i].type == player_value_string)
                    properties[entries[i].name] = entries[i].value.string;
            break;
        }
        default: break;
        }
    }

    bool reported(int code) const { return std::count(progress.begin(), progress.end(), code) > 0; }

    // What a web server sends for the file.
    std::string httpReply(const std::string& body, size_t length) const
    {
        return "HTTP/1.0 200 OK\r\nContent-Type: audio/x-wav\r\nContent-Length: " + std::to_string(length) +
               "\r\n\r\n" + body;
    }

    TempDir dir;
    WaveLayout wave;
    std::string file, data;
    player* p = nullptr;
    std::vector<int> progress, progressSources, errors;
    std::atomic<bool> connected{false}; // the input reported "connected" (17)
    std::map<std::string, std::string> properties;
    std::vector<std::string> inputModules;
};

// The network input is built in right after the file input, so it is input 1
// and is offered every name first.
TEST_F(NetworkPlayback, BuiltInAsInputOneWithItsDevice)
{
    ASSERT_EQ(command(command_input_modules_list), 0);
    EXPECT_EQ(inputModules,
              (std::vector<std::string>{"0 2 Input From File / Version 1.2", "0 0 1 * / any file name",
                                        "0 1 0 - / standard input", "1 1 Network Streaming Module / Version 1.4",
                                        "1 0 1 http://*, ftp://*, udp://*, icy://* / streaming url"}));
    // A scheme in capitals is the network input's too; nothing listens here.
    uint16_t port = net_test::free_port(false);
    EXPECT_EQ(command(command_input_open, ("HTTP://127.0.0.1:" + std::to_string(port) + "/x.wav").c_str()),
              error_connection_refused);
    EXPECT_EQ(progressSources, (std::vector<int>{network_input_id}));
}

TEST_F(NetworkPlayback, HttpStreamPlaysByteForByteWithItsProgress)
{
    loopback_server server([&](peer& c, int) {
        server.record(c.read_request());
        c.send(httpReply(file, file.size()));
    });
    // No ".wav" in the name: the reply's Content-Type chooses the WAVE codec.
    auto start = clock_type::now();
    ASSERT_EQ(command(command_input_open, server.url("http", "/stream").c_str()), 0);
    ASSERT_EQ(player_send_message(p, command_play), 0);
    // The figure: from the open to the first bytes in the output file.
    while (std::filesystem::file_size(dir.file("out.raw")) == 0 && clock_type::now() - start < std::chrono::seconds(5))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    auto ms = std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
    std::printf("http:// open to first output bytes: %.1f ms\n", ms);
    RecordProperty("open_to_first_output_us", static_cast<int>(ms * 1000));
    waitForTheEnd();
    ASSERT_EQ(command(command_output_close), 0);
    EXPECT_TRUE(text_of(readBytes(dir.file("out.raw"))) == data);
    EXPECT_TRUE(errors.empty());
    // Connecting, connected, fill and buffering, and the end of the stream,
    // all from the network input.
    for (int code : {16, 17, 21, 22})
        EXPECT_TRUE(reported(code)) << code;
    EXPECT_TRUE(
        std::all_of(progressSources.begin(), progressSources.end(), [](int s) { return s == network_input_id; }));
    EXPECT_EQ(properties["http/Content-Type"], "audio/x-wav");
    ASSERT_EQ(server.recorded().size(), 1u);
    EXPECT_EQ(server.recorded()[0].rfind("GET /stream HTTP/1.0\r\n", 0), 0u);
}

// Built as a library of its own, the network input needs nothing of the
// player but the module interface: loaded by name it becomes input 2, is
// offered names before the built-in one, and its reply's Content-Type still
// chooses the codec.
TEST_F(NetworkPlayback, LoadableBuildPlaysLikeTheBuiltInOne)
{
    loopback_server server([&](peer& c, int) {
        c.read_request();
        c.send(httpReply(file, file.size()));
    });
    ASSERT_EQ(command(command_input_module_register, NETWORK_MODULE_LIBRARY), 0);
    ASSERT_EQ(command(command_input_open, server.url("http", "/stream").c_str()), 0);
    EXPECT_TRUE(playToEnd() == data);
    EXPECT_TRUE(errors.empty());
    ASSERT_FALSE(progressSources.empty());
    EXPECT_TRUE(std::all_of(progressSources.begin(), progressSources.end(), [](int s) { return s == 2; }));
}

TEST_F(NetworkPlayback, TcpStreamPlaysByteForByte)
{
    loopback_server server([&](peer& c, int) {
        server.record(c.read_line()); // the client's opening line end
        c.send(file);
    });
    ASSERT_EQ(command(command_input_open, server.url("tcp", "/x.wav").c_str()), 0);
    EXPECT_TRUE(playToEnd() == data);
    ASSERT_EQ(server.recorded().size(), 1u);
    EXPECT_EQ(server.recorded()[0], "");
    EXPECT_TRUE(errors.empty());
}

// A Windows test program cannot start the Linux Python that runs this server.
#ifndef _WIN32
TEST_F(NetworkPlayback, FtpFileFromARealServerPlaysByteForByte)
{
    net_test::real_ftp_server ftp("x.wav", file);
    ASSERT_TRUE(ftp.running()) << "needs /usr/bin/python3 with pyftpdlib (Debian python3-pyftpdlib)";
    ASSERT_EQ(command(command_input_open, ftp.url("/x.wav").c_str()), 0);
    EXPECT_TRUE(playToEnd() == data);
    EXPECT_TRUE(errors.empty());
}
#endif

#ifndef _WIN32
// The same file from Debian's nginx over http and over https: both play byte
// for byte; the figure is the time from the open to the first output bytes.
// A certificate that does not verify is refused at the open.
TEST_F(NetworkPlayback, HttpsFromARealServerPlaysLikeHttp)
{
    net_test::real_web_server web;
    ASSERT_TRUE(web.running()) << "needs /usr/sbin/nginx (Debian nginx-light) and openssl";
    web.put("x.wav", file);
    ASSERT_EQ(command(command_output_close), 0);
    for (bool secure : {false, true, false, true}) {
        ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
        ASSERT_EQ(command(command_set_environment_string, "NETWORK.HTTPS.CA-FILE", web.ca_file().c_str()), 0);
        std::string name = secure ? web.https_url("/x.wav") : web.http_url("/x.wav");
        auto start = clock_type::now();
        ASSERT_EQ(command(command_input_open, name.c_str()), 0) << name;
        ASSERT_EQ(player_send_message(p, command_play), 0);
        while (std::filesystem::file_size(dir.file("out.raw")) == 0 &&
               clock_type::now() - start < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        auto ms = std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
        std::printf("%s from nginx: open to first output bytes: %.1f ms\n", secure ? "https://" : "http://", ms);
        waitForTheEnd();
        ASSERT_EQ(command(command_output_close), 0);
        EXPECT_TRUE(text_of(readBytes(dir.file("out.raw"))) == data) << name;
        ASSERT_EQ(command(command_input_close), 0);
    }
    EXPECT_TRUE(errors.empty());
    ASSERT_EQ(command(command_set_environment_string, "NETWORK.HTTPS.CA-FILE", ""), 0);
    EXPECT_EQ(command(command_input_open, web.https_url("/x.wav").c_str()), error_certificate_not_trusted);
}
#endif

TEST_F(NetworkPlayback, FtpFileFromALoopbackServerPlaysByteForByte)
{
    net_test::loopback_ftp_server ftp("x.wav", file);
    ASSERT_EQ(command(command_input_open, ftp.url("/x.wav").c_str()), 0);
    EXPECT_TRUE(playToEnd() == data);
    EXPECT_TRUE(errors.empty());
    // Closing hangs up the control connection too: the server's wait ends.
    auto start = clock_type::now();
    EXPECT_EQ(command(command_input_close), 0);
    EXPECT_TRUE(ftp.wait_for_hang_up());
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(2));
}

// The player listens on the URL's port; a sender waits until the input
// reports that it is connected (bound), then sends the file in datagrams,
// paced so that none is dropped, and goes on with silence as a live stream
// would: a datagram stream has no end of its own, and what is buffered below
// the high mark waits for more. (Probing the port by binding it could take it
// from the player just when it binds.)
TEST_F(NetworkPlayback, UdpDatagramsPlayByteForByte)
{
    uint16_t port = net_test::free_port(true);
    std::atomic<bool> sent{false}, done{false};
    std::thread sender([&] {
        auto until = clock_type::now() + std::chrono::seconds(5);
        while (!connected && clock_type::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        net_test::datagram_sender to;
        for (size_t at = 0; at < file.size(); at += 4096) {
            to.send(port, file.substr(at, 4096));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        sent = true;
        std::string silence(4096, '\0');
        for (auto until = clock_type::now() + std::chrono::seconds(20); !done && clock_type::now() < until;) {
            to.send(port, silence);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    // Any host: the player binds the port on all local addresses.
    int opened = command(command_input_open, ("udp://127.0.0.1:" + std::to_string(port) + "/x.wav").c_str());
    std::string out = opened == 0 ? playToEnd() : "";
    done = true;
    sender.join();
    ASSERT_EQ(opened, 0);
    EXPECT_TRUE(sent);
    EXPECT_TRUE(out == data) << out.size() << " of " << data.size() << " bytes";
}

// An ICY stream with metadata every 8192 audio bytes.
class IcyPlayback : public NetworkPlayback {
protected:
    std::string icyWire(const std::string& title) const
    {
        std::string text = "StreamTitle='" + title + "';";
        std::string block = std::string(1, char((text.size() + 15) / 16)) + text;
        block.resize(1 + 16 * size_t(block[0]), '\0');
        std::string wire;
        for (size_t at = 0; at < file.size(); at += 8192) {
            wire += file.substr(at, 8192);
            if (at + 8192 <= file.size())
                wire += at == 8192 ? block : std::string(1, '\0');
        }
        return wire;
    }
};

TEST_F(IcyPlayback, TitleArrivesAsAPropertyWhenIcyIsAccepted)
{
    loopback_server server([&](peer& c, int) {
        c.read_request();
        c.send("ICY 200 OK\r\nicy-metaint:8192\r\nicy-name: Loopback\r\n\r\n" + icyWire("Song One"));
    });
    ASSERT_EQ(command(command_set_environment_integer, "INPUT.STREAM.ACCEPT-ICY", 1), 0);
    ASSERT_EQ(command(command_input_open, server.url("icy", "/x.wav").c_str()), 0);
    EXPECT_TRUE(playToEnd() == data); // the metadata is cut out of the audio
    EXPECT_EQ(properties["icy/StreamTitle"], "'Song One'");
    EXPECT_EQ(properties["http/icy-name"], "Loopback");
}

TEST_F(IcyPlayback, SchemeIsRefusedByDefault)
{
    loopback_server server([&](peer& c, int) { c.read_request(); });
#ifdef _WIN32
    // The Windows player takes icy: by default; refusing it is asked for.
    ASSERT_EQ(command(command_set_environment_integer, "INPUT.STREAM.ACCEPT-ICY", 0), 0);
#endif
    EXPECT_EQ(command(command_input_open, server.url("icy", "/x.wav").c_str()), error_unsupported_url_scheme);
    EXPECT_EQ(server.connections(), 0);
}

// A server that closes (or resets) its connection halfway through a file
// whose length it announced: the stream ends cleanly, without an error, after
// the whole blocks that arrived.
TEST_F(NetworkPlayback, ServerThatGoesAwayMidStreamEndsIt)
{
    ASSERT_EQ(command(command_output_close), 0);
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "closed");
        size_t half = 44 + data.size() / 2;
        loopback_server server([&](peer& c, int) {
            c.read_request();
            c.send(httpReply(file.substr(0, half), file.size()));
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (reset)
                c.reset();
        });
        progress.clear();
        errors.clear();
        ASSERT_EQ(command(command_output_open, ("raw:" + dir.file("out.raw")).c_str()), 0);
        ASSERT_EQ(command(command_input_open, server.url("http", "/x.wav").c_str()), 0);
        std::string out = playToEnd();
        // Short of its Content-Length: the stream was cut, and the player says so.
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_TRUE(errors[0] == error_socket_closed || errors[0] == error_read_failed) << errors[0];
        EXPECT_TRUE(reported(23)); // "reached end of stream"
        EXPECT_LE(out.size(), half - 44);
        EXPECT_TRUE(data.compare(0, out.size(), out) == 0);
        if (!reset) {
            EXPECT_GT(out.size() + 4096, half - 44); // all but a last short block
        }
        ASSERT_EQ(command(command_input_close), 0);
    }
}

// A body that stalls (the connection open, its Content-Length unmet) ends
// once nothing came for NETWORK.READ-TIMEOUT: the buffered audio plays
// first, then the player is told the timeout.
TEST_F(NetworkPlayback, StalledBodyEndsAfterTheReadLimitWithItsAudioPlayed)
{
    size_t sent = 44 + 40000;
    auto last_sent = clock_type::now();
    loopback_server server([&](peer& c, int) {
        c.read_request();
        c.send(httpReply(file.substr(0, sent), file.size()));
        last_sent = clock_type::now();
        c.read_line(); // holds the connection until the player hangs up
    });
    ASSERT_EQ(command(command_set_environment_integer, "NETWORK.READ-TIMEOUT", 600), 0);
    ASSERT_EQ(command(command_input_open, server.url("http", "/x.wav").c_str()), 0);
    std::string out = playToEnd();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - last_sent).count();
    std::printf("stalled http body: ended %lld ms after its last bytes, errors:", static_cast<long long>(ms));
    for (int e : errors)
        std::printf(" %d", e);
    std::printf("\n");
    EXPECT_EQ(errors, std::vector<int>{error_timeout});
    EXPECT_TRUE(data.compare(0, out.size(), out) == 0);
    EXPECT_GT(out.size() + 4096, sent - 44) << "the buffered audio was played";
    EXPECT_GE(ms, 500);
    ASSERT_EQ(command(command_input_close), 0);
}

// A datagram stream has no end of its own: when the datagrams stop for
// NETWORK.READ-TIMEOUT it ends as a whole stream, its buffered audio played,
// without an error.
TEST_F(NetworkPlayback, UdpStreamEndsWhenTheDatagramsStop)
{
    uint16_t port = net_test::free_port(true);
    std::atomic<bool> sent{false};
    auto last_sent = clock_type::now();
    std::thread sender([&] {
        auto until = clock_type::now() + std::chrono::seconds(5);
        while (!connected && clock_type::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        net_test::datagram_sender to;
        for (size_t at = 0; at < file.size(); at += 4096) {
            to.send(port, file.substr(at, 4096));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        last_sent = clock_type::now();
        sent = true;
    });
    ASSERT_EQ(command(command_set_environment_integer, "NETWORK.READ-TIMEOUT", 600), 0);
    int opened = command(command_input_open, ("udp://127.0.0.1:" + std::to_string(port) + "/x.wav").c_str());
    std::string out = opened == 0 ? playToEnd() : "";
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - last_sent).count();
    sender.join();
    ASSERT_EQ(opened, 0);
    std::printf("udp datagrams stopped: ended %lld ms after the last one, %zu errors\n", static_cast<long long>(ms),
                errors.size());
    EXPECT_TRUE(sent);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(data.compare(0, out.size(), out) == 0);
    EXPECT_GT(out.size() + 4096, data.size()) << out.size() << " of " << data.size() << " bytes";
    EXPECT_GE(ms, 500);
}

// A server that stalls mid-body keeps the player waiting for data, never
// stuck: it still answers a stop at once.
TEST_F(NetworkPlayback, StalledServerLeavesThePlayerAnswering)
{
    loopback_server server([&](peer& c, int) {
        c.read_request();
        c.send(httpReply(file.substr(0, 40000), file.size()));
        net_test::stall_for_ms(3000);
    });
    ASSERT_EQ(command(command_input_open, server.url("http", "/x.wav").c_str()), 0);
    ASSERT_EQ(command(command_play), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    auto start = clock_type::now();
    EXPECT_EQ(command(command_stop), 0);
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(reported(19)); // "buffer underflow"
}

// melvox-play as a user runs it on an ICY stream: it accepts the scheme
// and shows the title and its notes; quiet, it shows only errors, each once.
TEST_F(IcyPlayback, MelvoxPlayShowsTheStreamTitle)
{
    loopback_server server(
        [&](peer& c, int) {
            c.read_request();
            c.send("ICY 200 OK\r\nicy-metaint:8192\r\n\r\n" + icyWire("Song Two"));
        },
        2);
    auto run = [&](const std::string& options, const std::string& url, int* status) {
#ifdef _WIN32
        std::string out, err;
        *status = run_program("\"" + std::filesystem::absolute(MELVOX_PLAY).string() + "\" " + options + " " + url +
                                  " -o \"raw:" + dir.file("cli.raw") + "\"",
                              "", &out, &err);
        return unix_line_ends(err);
#else
        std::string command = "'" MELVOX_PLAY "' " + options + " " + url + " -o raw:'" + dir.file("cli.raw") +
                              "' 2> '" + dir.file("stderr.txt") + "'";
        int r = std::system(command.c_str());
        *status = WIFEXITED(r) ? WEXITSTATUS(r) : -1;
        return readFile(dir.file("stderr.txt"));
#endif
    };
    int status = -1;
    std::string err = run("", server.url("icy", "/x.wav"), &status);
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(err.find("stream title: Song Two\n"), std::string::npos) << err;
    EXPECT_NE(err.find("connected"), std::string::npos) << err;
    EXPECT_TRUE(text_of(readBytes(dir.file("cli.raw"))) == data);

    err = run("-q", server.url("icy", "/x.wav"), &status);
    EXPECT_EQ(status, 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_TRUE(text_of(readBytes(dir.file("cli.raw"))) == data);

    // A port that nobody listens on: one line that tells why, quiet or not.
    std::string refused = "http://127.0.0.1:" + std::to_string(net_test::free_port(false)) + "/x.mp3";
    for (const char* options : {"", "-q"}) {
        err = run(options, refused, &status);
        EXPECT_EQ(status, 1) << err;
        const std::string line = "melvox-play: " + refused + ": connection failed (connection refused)\n";
        EXPECT_NE(err.find(line), std::string::npos) << err;
        EXPECT_EQ(err.find("connection refused"), err.rfind("connection refused")) << err;
        if (*options != '\0') {
            EXPECT_EQ(err, line);
        }
    }
}

} // namespace
