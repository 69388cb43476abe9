#include "ftp_client.h"
#include "input_session.h"
#include "loopback_ftp_server.h"
#include "loopback_server.h"
#ifndef _WIN32
#include "ftp_server_process.h"
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

using namespace melvox::net;
using net_test::input_session;
using net_test::loopback_server;
using net_test::peer;

namespace {

// The file that the real server offers.
std::string test_song()
{
    std::string song;
    for (size_t i = 0; i < 50000; ++i)
        song += char(i * 37 + i / 1000);
    return song;
}

std::vector<std::string> messages_of(const net_test::recording_reporter& r)
{
    std::vector<std::string> texts;
    for (const auto& m : r.messages())
        texts.push_back(m.message);
    return texts;
}

bool has(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// Runs a scripted control connection: greets with greeting, then answers
// each command with the next reply, recording the commands; then stalls for
// stall_ms, or with a negative stall_ms until the client hangs up.
struct scripted_ftp {
    scripted_ftp(std::string greeting, std::vector<std::string> replies, int stall_ms = 100)
        : server([this, greeting, replies, stall_ms](peer& p, int) {
              p.send(greeting);
              for (const auto& reply : replies) {
                  server.record(p.read_line());
                  p.send(reply);
              }
              if (stall_ms < 0)
                  p.read_line(); // holds the connection until the client hangs up
              else
                  net_test::stall_for_ms(stall_ms);
          })
    {
    }
    int converse(net_test::recording_reporter& reporter, int32_t* size, ftp_settings settings = {})
    {
        url target;
        parse_url(("ftp://127.0.0.1:" + std::to_string(server.port()) + "/a.mp3").c_str(), &target);
        net_connection conn;
        return ftp_get(conn, target, size, settings, reporter);
    }
    loopback_server server;
};

} // namespace

// Debian's pyftpdlib under Debian's Python: a server that this project did not
// write. A Windows test program cannot start the Linux interpreter, so there
// the loopback server below stands in.
#ifndef _WIN32
TEST(Ftp, ActiveModeAgainstARealServer)
{
    net_test::real_ftp_server ftp("song.mp3", test_song());
    ASSERT_TRUE(ftp.running()) << "needs /usr/bin/python3 with pyftpdlib (Debian python3-pyftpdlib)";
    input_session session;
    ASSERT_EQ(session.open(ftp.url("/song.mp3")), 0);
    EXPECT_EQ(network_input_get_size(session.input), 50000);
    auto texts = messages_of(session.reporter);
    EXPECT_EQ(session.reporter.detail_of("logging in as"), "anonymous");
    EXPECT_EQ(session.reporter.detail_of("sending RETR"), "song.mp3");
    EXPECT_TRUE(has(texts, "sending PORT"));
    EXPECT_TRUE(has(texts, "got connection on data socket"));
    EXPECT_TRUE(has(texts, "connected and receiving"));
    EXPECT_FALSE(has(texts, "sending PASV"));
    int last = 0;
    EXPECT_TRUE(session.read_all(4096, &last) == ftp.content());
    EXPECT_EQ(last, error_end_of_input_stream);
}

TEST(Ftp, PassiveModeAndLogins)
{
    net_test::real_ftp_server ftp("song.mp3", test_song());
    ASSERT_TRUE(ftp.running()) << "needs /usr/bin/python3 with pyftpdlib (Debian python3-pyftpdlib)";
    input_session session;
    session.environment.set_integer("NETWORK.FTP.PASSIVE", 1);
    ASSERT_EQ(session.open(ftp.url("/song.mp3", "joe:secret@")), 0);
    EXPECT_EQ(session.reporter.detail_of("logging in as"), "joe");
    EXPECT_EQ(session.reporter.detail_of("sending PASS"), "secret");
    auto texts = messages_of(session.reporter);
    EXPECT_TRUE(has(texts, "sending PASV"));
    EXPECT_FALSE(has(texts, "sending PORT"));
    EXPECT_EQ(network_input_get_size(session.input), 50000);
    int last = 0;
    EXPECT_TRUE(session.read_all(4096, &last) == ftp.content());

    input_session refused;
    EXPECT_EQ(refused.open(ftp.url("/song.mp3", "joe:wrong@")), error_ftp);
    EXPECT_EQ(refused.reporter.detail_of("errror code returned"), "530");

    input_session missing;
    EXPECT_EQ(missing.open(ftp.url("/absent.mp3")), error_ftp);
    EXPECT_EQ(missing.reporter.detail_of("errror code returned"), "550");
    EXPECT_TRUE(missing.reporter.detail_of("ftp error").starts_with("550 ")) << missing.reporter.detail_of("ftp error");
}

// A user whose session starts in a home folder: URL paths are relative to
// it, and an encoded slash first names the server's root.
TEST(Ftp, PathsAreRelativeToTheLoginFolder)
{
    net_test::real_ftp_server ftp("my song.mp3", test_song(), "home/amy");
    ASSERT_TRUE(ftp.running()) << "needs /usr/bin/python3 with pyftpdlib (Debian python3-pyftpdlib)";
    for (const char* path : {"/my%20song.mp3", "/%2Fhome/amy/my%20song.mp3", "/../amy/my song.mp3"}) {
        input_session session;
        ASSERT_EQ(session.open(ftp.url(path, "amy:pw@")), 0) << path << ": " << session.reporter.detail_of("ftp error");
        int last = 0;
        EXPECT_TRUE(session.read_all(4096, &last) == ftp.content()) << path;
    }
    input_session absolute;
    EXPECT_EQ(absolute.open(ftp.url("/%2Fmy%20song.mp3", "amy:pw@")), error_ftp);
    EXPECT_TRUE(absolute.reporter.detail_of("ftp error").starts_with("550 "))
        << absolute.reporter.detail_of("ftp error");
}

#endif

// The whole conversation and both kinds of data connection: the client's
// listener and accept in active mode, its connect in passive mode.
TEST(Ftp, TransfersFromALoopbackServer)
{
    net_test::loopback_ftp_server ftp("song.mp3", test_song(), 4);
    {
        input_session session;
        ASSERT_EQ(session.open(ftp.url("/song.mp3")), 0);
        EXPECT_EQ(network_input_get_size(session.input), 50000);
        int last = 0;
        EXPECT_TRUE(session.read_all(4096, &last) == ftp.content());
        EXPECT_EQ(last, error_end_of_input_stream);
        auto texts = messages_of(session.reporter);
        EXPECT_TRUE(has(texts, "got connection on data socket"));
        EXPECT_TRUE(has(texts, "connected and receiving"));
    }
    EXPECT_TRUE(ftp.wait_for_hang_up()) << "closing the input hangs up the control connection";
    auto commands = ftp.commands();
    ASSERT_EQ(commands.size(), 5u);
    EXPECT_EQ(commands[0], "USER anonymous");
    EXPECT_EQ(commands[1].rfind("PASS ", 0), 0u);
    EXPECT_EQ(commands[2], "TYPE I");
    EXPECT_EQ(commands[3].rfind("PORT 127,0,0,1,", 0), 0u) << commands[3];
    EXPECT_EQ(commands[4], "RETR song.mp3");
    {
        input_session session;
        session.environment.set_integer("NETWORK.FTP.PASSIVE", 1);
        ASSERT_EQ(session.open(ftp.url("/song.mp3", "joe:secret@")), 0);
        EXPECT_EQ(session.reporter.detail_of("logging in as"), "joe");
        int last = 0;
        EXPECT_TRUE(session.read_all(4096, &last) == ftp.content());
        EXPECT_EQ(last, error_end_of_input_stream);
    }
    commands = ftp.commands();
    ASSERT_EQ(commands.size(), 10u);
    EXPECT_EQ(commands[6], "PASS secret");
    EXPECT_EQ(commands[8], "PASV");
    {
        input_session refused;
        EXPECT_EQ(refused.open(ftp.url("/song.mp3", "joe:wrong@")), error_ftp);
        EXPECT_EQ(refused.reporter.detail_of("errror code returned"), "530");
    }
    {
        input_session missing;
        EXPECT_EQ(missing.open(ftp.url("/absent.mp3")), error_ftp);
        EXPECT_EQ(missing.reporter.detail_of("errror code returned"), "550");
    }
}

TEST(Ftp, ConversationRules)
{
    // A multi-line greeting is read to its end before USER goes out; a '2'
    // reply to USER (no password asked) fails the transfer.
    scripted_ftp no_password("220-Welcome\r\n220-still welcome\r\n220 ready\r\n", {"230 logged in\r\n"});
    net_test::recording_reporter reporter;
    int32_t size = 0;
    EXPECT_EQ(no_password.converse(reporter, &size), error_ftp);
    ASSERT_EQ(no_password.server.recorded().size(), 1u);
    EXPECT_EQ(no_password.server.recorded()[0], "USER anonymous");

    struct {
        std::string greeting;
        int result;
        std::string detail;
    } garbage[] = {
        {"hello there\r\n", error_ftp, "hel"},
        {"\r\n", error_ftp, ""},
        {"99\r\n", error_ftp, "99"},
        {"220-never ends\r\n" + std::string(2000, 'x') + "\r\n", error_timeout, "<none>"},
    };
    for (const auto& g : garbage) {
        scripted_ftp server(g.greeting, {}, g.result == error_timeout ? -1 : 0);
        net_test::recording_reporter r;
        ftp_settings quick;
        quick.reply_timeout = 300;
        EXPECT_EQ(server.converse(r, &size, quick), g.result) << g.greeting;
        EXPECT_EQ(r.detail_of("errror code returned"), g.detail) << g.greeting;
    }

    // A multi-line reply of more lines than any server sends.
    std::string endless = "220-start\r\n";
    for (int i = 0; i < ftp_reply_line_limit + 5; ++i)
        endless += "220-more\r\n";
    scripted_ftp flood(endless, {});
    EXPECT_EQ(flood.converse(reporter, &size), error_ftp);
}

// A server whose reply line never ends, though it never falls silent: the
// open ends with the timeout after NETWORK.READ-TIMEOUT, for the greeting
// and for a reply in the middle of the conversation.
TEST(Ftp, EndlessReplyLineEndsWithTheTimeLimit)
{
    for (int commands : {0, 1}) {
        loopback_server s([&](peer& p, int) {
            p.send(commands == 0 ? "220 hello" : "220 hello\r\n");
            if (commands == 1) {
                p.read_line();
                p.send("331-password please");
            }
            p.drip(5000);
        });
        input_session session;
        session.environment.set_integer("NETWORK.READ-TIMEOUT", 400);
        auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(session.open(s.url("ftp", "/a.mp3")), error_timeout) << commands;
        auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
        std::printf("endless ftp reply line after %d commands: open ended after %lld ms with %d\n", commands,
                    static_cast<long long>(took.count()), error_timeout);
        EXPECT_GE(took.count(), 350);
        EXPECT_LT(took.count(), 2500);
    }
}

TEST(Ftp, UrlNames)
{
    struct {
        const char* name;
        int result;
        const char* user;
        const char* file;
    } cases[] = {
        {"ftp://h/a.mp3", 0, "anonymous", "a.mp3"},
        {"ftp://h/pub/a%20b.mp3", 0, "anonymous", "pub/a b.mp3"},
        {"ftp://h/%2Fsrv/a.mp3", 0, "anonymous", "/srv/a.mp3"},
        {"ftp://jo%40home@h/100%.mp3", 0, "jo@home", "100%.mp3"},
        {"ftp://h/a.mp3%0D%0ADELE%20x", error_invalid_url_syntax, "", ""},
        {"ftp://us%0Aer@h/a.mp3", error_invalid_url_syntax, "", ""},
        {"ftp://h/", error_invalid_url_syntax, "", ""},
        {"ftp://h/pub/", error_invalid_url_syntax, "", ""},
    };
    for (const auto& c : cases) {
        url target;
        ASSERT_EQ(parse_url(c.name, &target), 0) << c.name;
        ftp_names names;
        EXPECT_EQ(ftp_url_names(target, &names), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(names.user, c.user) << c.name;
            EXPECT_EQ(names.file, c.file) << c.name;
        }
    }
}

TEST(Ftp, ReplyTexts)
{
    EXPECT_EQ(announced_size("150 Opening BINARY mode data connection for a.mp3 (1234 bytes)."), 1234);
    EXPECT_EQ(announced_size("150 (see below) then (77 bytes)"), 77);
    EXPECT_EQ(announced_size("150 Opening ( 5 bytes)"), 5);
    EXPECT_EQ(announced_size("150 Opening (1234 kbytes)"), error_invalid_ftp_reply);
    EXPECT_EQ(announced_size("150 Opening (-3 bytes)"), error_invalid_ftp_reply);
    EXPECT_EQ(announced_size("150 Opening (99999999999 bytes)"), error_invalid_ftp_reply);
    EXPECT_EQ(announced_size("150 Opening (bytes)"), error_invalid_ftp_reply);
    EXPECT_EQ(passive_port("227 Entering Passive Mode (127,0,0,1,195,80)."), 195 * 256 + 80);
    EXPECT_EQ(passive_port("227 Entering Passive Mode 127,0,0,1,4,1"), 1025);
    EXPECT_EQ(passive_port("227 Entering Passive Mode (127,0,0,1,4)"), error_invalid_ftp_reply);
    EXPECT_EQ(passive_port("227 Entering Passive Mode (127,0,0,1,4,256)"), error_invalid_ftp_reply);
    EXPECT_EQ(passive_port("227 nothing"), error_invalid_ftp_reply);
}
