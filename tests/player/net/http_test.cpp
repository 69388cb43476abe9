#include "http_client.h"
#include "input_session.h"
#include "loopback_server.h"
#ifndef _WIN32
#include "web_servers.h"
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

using namespace melvox::net;
using net_test::input_session;
using net_test::loopback_server;
using net_test::peer;

namespace {

const std::string plain_request_end = "User-Agent: Melvox/1.0\r\nAccept: */*\r\n\r\n";

// Records the request, then sends the reply and closes.
struct replying_server {
    explicit replying_server(const std::string& reply, int connections = 1)
        : server(
              [this, reply](peer& p, int) {
                  server.record(p.read_request());
                  p.send(reply);
              },
              connections)
    {
    }
    loopback_server server;
};

long long ms_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(Http, OkWithContentLengthDeliversTheBody)
{
    std::string body(1000, '\0');
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = char(i * 31);
    replying_server s("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\nContent-Type: audio/mpeg\r\nX-Empty:\r\n\r\n" + body);
    input_session session;
    ASSERT_EQ(session.open(s.server.url("http", "/music/song.mp3")), 0);
    EXPECT_EQ(network_input_get_size(session.input), 1000);
    EXPECT_EQ(network_input_get_caps(session.input), 0);
    EXPECT_EQ(network_input_seek(session.input, 0), error_no_such_interface);
    EXPECT_EQ(session.input->mime_type, "audio/mpeg");
    auto properties = session.reporter.properties();
    EXPECT_EQ(properties["http/Content-Length"], "1000");
    EXPECT_EQ(properties["http/Content-Type"], "audio/mpeg");
    EXPECT_EQ(properties.count("http/X-Empty"), 0u);
    EXPECT_EQ(session.reporter.progress_codes(), (std::vector<int>{16, 17, 22, 21}));
    EXPECT_EQ(session.reporter.detail_of("requesting data"), "/music/song.mp3");
    EXPECT_EQ(session.reporter.detail_of("got http reply"), "HTTP/1.0 200 OK");

    int last = 0;
    EXPECT_EQ(session.read_all(100, &last), body);
    EXPECT_EQ(last, error_end_of_input_stream);
    ASSERT_EQ(s.server.recorded().size(), 1u);
    EXPECT_EQ(s.server.recorded()[0], "GET /music/song.mp3 HTTP/1.0\r\nHost: 127.0.0.1\r\n" + plain_request_end);
    EXPECT_EQ(network_input_close(session.input), 0);
    EXPECT_EQ(network_input_close(session.input), error_internal);
}

TEST(Http, ProxyGetsTheWholeUrlAndTheCustomHeader)
{
    replying_server s("HTTP/1.0 200 OK\r\n\r\nbody");
    input_session session;
    session.environment.set_string("NETWORK.HTTP.PROXY.HOSTNAME", "127.0.0.1");
    session.environment.set_integer("NETWORK.HTTP.PROXY.PORT", s.server.port());
    session.environment.set_string("NETWORK.HTTP.CUSTOM-HEADER", "X-Test: 1\r\n");
    ASSERT_EQ(session.open("http://radio.invalid:8000/live"), 0);
    ASSERT_EQ(s.server.recorded().size(), 1u);
    EXPECT_EQ(s.server.recorded()[0],
              "GET http://radio.invalid:8000/live HTTP/1.0\r\nHost: radio.invalid\r\nUser-Agent: Melvox/1.0\r\n"
              "Accept: */*\r\nX-Test: 1\r\n\r\n");
    EXPECT_EQ(session.reporter.detail_of("connecting"), "host radio.invalid, port 8000");
}

TEST(Http, RequestLinesHoldNoFragmentAndNoBlanks)
{
    replying_server s("HTTP/1.0 200 OK\r\n\r\nbody");
    input_session session;
    ASSERT_EQ(session.open(s.server.url("http", "/my music/caf\xc3\xa9 \"1\".mp3?a=b c#t=30")), 0);
    ASSERT_EQ(s.server.recorded().size(), 1u);
    EXPECT_EQ(s.server.recorded()[0],
              "GET /my%20music/caf%C3%A9%20%221%22.mp3?a=b%20c HTTP/1.0\r\nHost: 127.0.0.1\r\n" + plain_request_end);
}

#ifndef _WIN32
// Debian's tinyproxy between the player and the server: an icy:// stream
// through a real proxy, which knows only http:// URLs.
TEST(Http, IcyThroughARealProxy)
{
    net_test::real_proxy proxy;
    ASSERT_TRUE(proxy.running()) << "needs /usr/bin/tinyproxy (Debian tinyproxy)";
    std::string block = std::string(1, char(1)) + "StreamTitle='P';";
    block.resize(17, '\0');
    replying_server s("HTTP/1.0 200 OK\r\nicy-metaint:4\r\n\r\naudi" + block + "o!");
    input_session session;
    session.environment.set_integer("INPUT.STREAM.ACCEPT-ICY", 1);
    session.environment.set_string("NETWORK.HTTP.PROXY.HOSTNAME", "127.0.0.1");
    session.environment.set_integer("NETWORK.HTTP.PROXY.PORT", proxy.port());
    ASSERT_EQ(session.open(s.server.url("icy", "/live#now")), 0);
    int last = 0;
    EXPECT_EQ(session.read_all(1, &last), "audio!");
    EXPECT_EQ(session.reporter.properties()["icy/StreamTitle"], "'P'");
    ASSERT_EQ(s.server.recorded().size(), 1u);
    EXPECT_TRUE(s.server.recorded()[0].starts_with("GET /live HTTP/1.")) << s.server.recorded()[0];
    EXPECT_NE(s.server.recorded()[0].find("Icy-MetaData: 1\r\n"), std::string::npos) << s.server.recorded()[0];
}
#endif

#ifndef _WIN32
// The test's own names, all on loopback: nothing is looked up elsewhere.
int loopback_names(const char* host, ipv4_address* out)
{
    std::string name = host;
    if (name != "melvox.test" && name != "sni.test" && name != "other.test")
        return error_host_unknown;
    *out = 0x7f000001;
    return 0;
}

struct https_fixture {
    https_fixture()
    {
        web.put("song.mp3", song);
        old_lookup = replace_name_lookup(loopback_names);
    }
    ~https_fixture() { replace_name_lookup(old_lookup); }
    // Opens the URL trusting the test's CA (or not) and reads it whole.
    int play(const std::string& name, std::string* got, bool trusted = true, input_session* use = nullptr)
    {
        input_session own;
        input_session& session = use != nullptr ? *use : own;
        session.environment.set_integer("INPUT.STREAM.ACCEPT-ICY", 1);
        if (trusted)
            session.environment.set_string("NETWORK.HTTPS.CA-FILE", web.ca_file().c_str());
        int result = session.open(name);
        int last = 0;
        if (result == 0)
            *got = session.read_all(4096, &last);
        return result;
    }
    std::string song = std::string(30000, 's') + "end";
    net_test::real_web_server web;
    name_lookup old_lookup = nullptr;
};

// Debian's nginx over TLS, its certificates from a CA made for the test.
TEST(Https, VerifiedStreamsFromARealServer)
{
    https_fixture f;
    ASSERT_TRUE(f.web.running()) << "needs /usr/sbin/nginx (Debian nginx-light) and openssl";
    std::string got;
    for (const char* host : {"127.0.0.1", "melvox.test", "sni.test"}) {
        input_session session;
        ASSERT_EQ(f.play(f.web.https_url("/song.mp3", host), &got, true, &session), 0) << host;
        EXPECT_TRUE(got == f.song) << host;
        EXPECT_EQ(session.input->mime_type, "audio/mpeg");
        EXPECT_EQ(network_input_get_size(session.input), int32_t(f.song.size()));
    }
    // Never played: a certificate of an unknown issuer, one that names
    // another host, and a CA file that cannot be read.
    struct {
        std::string name;
        bool trusted;
        int result;
    } refused[] = {
        {f.web.https_url("/song.mp3"), false, error_certificate_not_trusted},
        {f.web.https_url("/song.mp3", "other.test"), true, error_certificate_not_trusted},
    };
    for (const auto& c : refused) {
        input_session session;
        got.clear();
        EXPECT_EQ(f.play(c.name, &got, c.trusted, &session), c.result) << c.name;
        EXPECT_EQ(got, "");
        EXPECT_NE(session.reporter.detail_of("certificate not trusted"), "") << c.name;
    }
    input_session no_ca;
    no_ca.environment.set_string("NETWORK.HTTPS.CA-FILE", "/nonexistent/ca.pem");
    EXPECT_EQ(no_ca.open(f.web.https_url("/song.mp3")), error_tls_failed);
    EXPECT_EQ(no_ca.reporter.detail_of("cannot read the CA file"), "/nonexistent/ca.pem");
}

TEST(Https, RedirectsBothWaysAndIcyMetadata)
{
    https_fixture f;
    ASSERT_TRUE(f.web.running()) << "needs /usr/sbin/nginx (Debian nginx-light) and openssl";
    std::string got;
    EXPECT_EQ(f.play(f.web.http_url("/to-https/song.mp3"), &got), 0);
    EXPECT_TRUE(got == f.song);
    got.clear();
    EXPECT_EQ(f.play(f.web.https_url("/to-http/song.mp3"), &got), 0);
    EXPECT_TRUE(got == f.song);

    // An icy:// stream that moved to https keeps its metadata.
    std::string audio(3 * 8192, 'a'), title = "StreamTitle='Secure';";
    std::string block = std::string(1, char(2)) + title + std::string(32 - title.size(), '\0');
    f.web.put("radio/live",
              audio.substr(0, 8192) + block + audio.substr(8192, 8192) + std::string(1, '\0') + audio.substr(16384));
    input_session session;
    EXPECT_EQ(f.play("icy" + f.web.http_url("/to-https/radio/live").substr(4), &got, true, &session), 0);
    EXPECT_TRUE(got == audio);
    EXPECT_EQ(session.reporter.properties()["icy/StreamTitle"], "'Secure'");
}

// Through a real proxy, https goes in a CONNECT tunnel: the proxy sees no
// request of its own.
TEST(Https, ThroughARealProxysTunnel)
{
    https_fixture f;
    net_test::real_proxy proxy;
    ASSERT_TRUE(f.web.running() && proxy.running()) << "needs nginx-light, openssl and tinyproxy";
    input_session session;
    session.environment.set_string("NETWORK.HTTP.PROXY.HOSTNAME", "127.0.0.1");
    session.environment.set_integer("NETWORK.HTTP.PROXY.PORT", proxy.port());
    std::string got;
    EXPECT_EQ(f.play(f.web.https_url("/song.mp3"), &got, true, &session), 0);
    EXPECT_TRUE(got == f.song);
}
#else
TEST(Https, RefusedByThisBuild)
{
    input_session session;
    EXPECT_EQ(session.open("https://127.0.0.1:1/song.mp3"), error_unsupported_url_scheme);
    EXPECT_NE(session.reporter.detail_of("https is not supported by this build"), "<none>");
}
#endif

TEST(Http, RedirectsAreFollowedUpToTheLimit)
{
    // Absolute, absolute-path, relative, dot-segment and scheme-relative
    // Locations, and one of a thousand characters.
    const std::string long_name = "/" + std::string(1000, 'n');
    loopback_server* self = nullptr;
    loopback_server s(
        [&](peer& p, int index) {
            self->record(p.read_request());
            const std::string port = std::to_string(self->port());
            const char* locations[] = {nullptr, "/dir/second", "third.mp3", "../a/b.mp3", nullptr, nullptr};
            if (index == 0)
                p.send("HTTP/1.0 302 Found\r\nLocation: " + self->url("http", "/first") + "\r\n\r\n");
            else if (index < 4)
                p.send("HTTP/1.1 301 Moved\r\nlocation:" + std::string(locations[index]) + "\r\n\r\n");
            else if (index == 4)
                p.send("HTTP/1.0 302 Found\r\nLocation: //127.0.0.1:" + port + long_name + "\r\n\r\n");
            else
                p.send("HTTP/1.0 200 OK\r\n\r\nlast body");
        },
        6);
    self = &s;
    input_session session;
    ASSERT_EQ(session.open(s.url("http", "/start")), 0);
    int last = 0;
    EXPECT_EQ(session.read_all(4, &last), "last body");
    auto requests = s.recorded();
    ASSERT_EQ(requests.size(), 6u);
    const std::string targets[] = {"/start", "/first", "/dir/second", "/dir/third.mp3", "/a/b.mp3", long_name};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_TRUE(requests[i].starts_with("GET " + targets[i] + " HTTP/1.0\r\n")) << requests[i];
    EXPECT_EQ(session.reporter.detail_of("http redirect, new location"), s.url("http", "/first"));

    // A server that redirects to itself for ever.
    loopback_server* loop_self = nullptr;
    loopback_server loop(
        [&](peer& p, int) {
            p.read_request();
            p.send("HTTP/1.0 302 Found\r\nLocation: " + loop_self->url("http", "/again") + "\r\n\r\n");
        },
        http_redirect_limit + 5);
    loop_self = &loop;
    input_session looping;
    EXPECT_EQ(looping.open(loop.url("http", "/again")), error_http);
    EXPECT_EQ(loop.connections(), http_redirect_limit + 1);
    EXPECT_NE(looping.reporter.detail_of("too many http redirects"), "<none>");

    // A redirect to a scheme this client cannot follow.
    replying_server elsewhere("HTTP/1.0 302 Found\r\nLocation: ftp://127.0.0.1/\r\n\r\n");
    input_session refused;
    EXPECT_EQ(refused.open(elsewhere.server.url("http")), error_unsupported_url_scheme);
}

TEST(Http, FailingAndOddReplies)
{
    struct {
        std::string reply;
        int result;
    } cases[] = {
        {"HTTP/1.0 404 Not Found\r\n\r\n", error_http_error_reply},
        {"HTTP/1.0 503 Busy\r\n\r\n", error_http_error_reply},
        {"HTTP/1.0 600 Odd\r\n\r\n", error_http},
        {"HTTP/1.0 099 Odd\r\n\r\n", error_invalid_http_reply},
        {"garbage\r\n\r\n", error_invalid_http_reply},
        {"HTTP/1.0 20\r\n\r\n", error_invalid_http_reply},
        {"HTTP/1.0 2000 OK\r\n\r\n", error_invalid_http_reply},
        {"", error_socket_closed},
    };
    for (const auto& c : cases) {
        replying_server s(c.reply);
        input_session session;
        EXPECT_EQ(session.open(s.server.url("http")), c.result) << c.reply;
        EXPECT_FALSE(session.input->open);
    }
    replying_server not_found("HTTP/1.0 404 Not Found\r\n\r\n");
    input_session session;
    session.open(not_found.server.url("http"));
    EXPECT_EQ(session.reporter.detail_of("http request failed"), "HTTP/1.0 404 Not Found");

    // Accepted: a reason-less status, a version word that is not HTTP's, a
    // headerless reply, a 3xx without Location.
    for (std::string reply :
         {"HTTP/1.0 200\r\n\r\nbody", "  HTTP/1.0 200 OK\r\n\r\nbody", "ICY 200 OK\r\nicy-name: Radio\r\n\r\nbody",
          "\r\nbody", "HTTP/1.0 304 Not Modified\r\n\r\nbody"}) {
        replying_server ok(reply);
        input_session accepted;
        ASSERT_EQ(accepted.open(ok.server.url("http")), 0) << reply;
        int last = 0;
        EXPECT_EQ(accepted.read_all(2, &last), "body") << reply;
        if (reply.starts_with("ICY")) {
            EXPECT_EQ(accepted.reporter.properties()["http/icy-name"], "Radio");
        }
    }

    input_session nobody;
    EXPECT_EQ(nobody.open("http://127.0.0.1:" + std::to_string(net_test::free_port(false)) + "/"),
              error_connection_refused);
    EXPECT_EQ(nobody.reporter.detail_of("connection failed"), "connection refused");
}

TEST(Http, LongLinesAreCutNotSplit)
{
    std::string reply = "HTTP/1.0 200 " + std::string(300, 'r') + "\r\nX-Long: " + std::string(500, 'y') +
                        "\r\nContent-Length: 5\r\n" + std::string(200, 'z') + ": v\r\n\r\nhello";
    replying_server s(reply);
    input_session session;
    ASSERT_EQ(session.open(s.server.url("http")), 0);
    EXPECT_EQ(network_input_get_size(session.input), 5);
    auto properties = session.reporter.properties();
    EXPECT_EQ(properties["http/X-Long"], std::string(http_line_capacity - 1 - 8, 'y'));
    EXPECT_EQ(properties.size(), 2u) << "no piece of a long line became a header of its own";
    int last = 0;
    EXPECT_EQ(session.read_all(1, &last), "hello");

    // A Location beyond its bound is refused, never followed cut.
    replying_server cut("HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1/" + std::string(http_location_limit, 'p') +
                        "\r\n\r\n");
    input_session redirected;
    EXPECT_EQ(redirected.open(cut.server.url("http")), error_invalid_http_reply);
    EXPECT_NE(redirected.reporter.detail_of("http redirect location too long"), "<none>");

    // Endless header lines end the exchange.
    std::string many = "HTTP/1.0 200 OK\r\n";
    for (int i = 0; i < http_header_limit + 1; ++i)
        many += "X-" + std::to_string(i) + ": v\r\n";
    replying_server flood(many + "\r\n");
    input_session flooded;
    EXPECT_EQ(flooded.open(flood.server.url("http")), error_invalid_http_reply);
}

TEST(Http, MissingOrLyingContentLength)
{
    struct {
        std::string headers;
        std::string body;
        int32_t size;
        std::string delivered; // the body up to its length
        bool cut;
    } cases[] = {
        {"", "no length", 0, "no length", false},
        {"Content-Length: 1000\r\n", "short", 1000, "short", true},
        {"Content-Length: 2\r\n", "longer than said", 2, "lo", false},
        {"Content-Length: lots\r\n", "x", 0, "x", false},
        {"Content-Length: 99999999999\r\n", "x", 0, "x", false},
        {"Content-Length: -5\r\n", "x", 0, "x", false},
    };
    for (const auto& c : cases) {
        replying_server s("HTTP/1.0 200 OK\r\n" + c.headers + "\r\n" + c.body);
        input_session session;
        ASSERT_EQ(session.open(s.server.url("http")), 0);
        EXPECT_EQ(network_input_get_size(session.input), c.size) << c.headers;
        int last = 0;
        EXPECT_EQ(session.read_all(3, &last), c.delivered) << c.headers;
        EXPECT_EQ(last, error_end_of_input_stream);
        EXPECT_EQ(session.reporter.detail_of("stream cut short") != "<none>", c.cut) << c.headers;
    }
}

TEST(Http, StallsAreBoundedByTheTimeLimits)
{
    // Mid-header: the open gives up after the read time-out.
    loopback_server header_stall([](peer& p, int) {
        p.read_request();
        p.send("HTTP/1.0 200 OK\r\nX-Half");
        net_test::stall_for_ms(3000);
    });
    input_session session;
    session.environment.set_integer("NETWORK.HTTP.READ-TIMEOUT", 300);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(session.open(header_stall.url("http")), error_timeout);
    EXPECT_LT(ms_since(start), 2000);

    // Mid-body: every read returns within the stream's read time-out; the
    // stream goes on when the server does.
    loopback_server body_stall([](peer& p, int) {
        p.read_request();
        p.send("HTTP/1.0 200 OK\r\n\r\n" + std::string(100, 'a'));
        net_test::stall_for_ms(2000);
        p.send(std::string(100, 'b'));
    });
    input_session reader;
    ASSERT_EQ(reader.open(body_stall.url("http")), 0);
    int last = 0;
    long long longest = 0;
    std::string got = reader.read_all(50, &last, 5000, &longest);
    EXPECT_EQ(got, std::string(100, 'a') + std::string(100, 'b'));
    EXPECT_LT(longest, 1000) << "a read waits about INPUT.STREAM.READ-TIMEOUT (100 ms), not for the server";
}

// A server that never stops sending and never ends a line: the status line
// or a header line ends with the timeout after NETWORK.READ-TIMEOUT.
TEST(Http, EndlessReplyLinesEndWithTheTimeLimit)
{
    for (std::string start : {"HTTP/1.0 200 OK", "HTTP/1.0 200 OK\r\nX-Endless: "}) {
        loopback_server s([&](peer& p, int) {
            p.read_request();
            p.send(start);
            p.drip(5000);
        });
        input_session session;
        session.environment.set_integer("NETWORK.READ-TIMEOUT", 400);
        auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(session.open(s.url("http")), error_timeout) << start;
        long long took = ms_since(begin);
        std::printf("endless reply line (%zu bytes before): open ended after %lld ms with %d\n", start.size(), took,
                    error_timeout);
        EXPECT_GE(took, 350);
        EXPECT_LT(took, 2500);
    }
}

TEST(Http, PeerResetEndsTheStream)
{
    loopback_server s([](peer& p, int) {
        p.read_request();
        p.send("HTTP/1.0 200 OK\r\n\r\n" + std::string(3000, 'r'));
        net_test::stall_for_ms(200);
        p.reset();
    });
    input_session session;
    ASSERT_EQ(session.open(s.url("http")), 0);
    int last = 0;
    std::string got = session.read_all(1000, &last);
    EXPECT_EQ(last, error_end_of_input_stream);
    EXPECT_EQ(got, std::string(got.size(), 'r'));
    auto codes = session.reporter.progress_codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(progress_end_of_stream)), 1);
}

TEST(Icy, RefusedUnlessAccepted)
{
    replying_server s("ICY 200 OK\r\n\r\n");
    input_session refused;
    refused.environment.set_integer("INPUT.STREAM.ACCEPT-ICY", 0);
    EXPECT_EQ(refused.open(s.server.url("icy")), error_unsupported_url_scheme);
    EXPECT_EQ(s.server.connections(), 0);

    // Without the variable, the Windows player accepts the scheme and the
    // Linux player refuses it.
    input_session by_default;
#ifdef _WIN32
    EXPECT_EQ(by_default.open(s.server.url("icy")), 0);
    EXPECT_EQ(s.server.connections(), 1);
#else
    EXPECT_EQ(by_default.open(s.server.url("icy")), error_unsupported_url_scheme);
    EXPECT_EQ(s.server.connections(), 0);
#endif
}

TEST(Icy, MetadataBecomesPropertiesAndLeavesTheAudio)
{
    std::string audio;
    for (int i = 0; i < 3 * 8192 + 500; ++i)
        audio += char(i % 251);
    std::string title = "StreamTitle='Hello World';";
    std::string block = std::string(1, char(2)) + title + std::string(32 - title.size(), '\0');
    std::string wire = audio.substr(0, 8192) + block + audio.substr(8192, 8192) + std::string(1, '\0') +
                       audio.substr(16384, 8192) + block + audio.substr(24576);
    replying_server s("ICY 200 OK\r\nicy-metaint:8192\r\nicy-name: Test\r\n\r\n" + wire);
    input_session session;
    session.environment.set_integer("INPUT.STREAM.ACCEPT-ICY", 1);
    session.environment.set_string("NETWORK.HTTP.CUSTOM-HEADER", "X-Mine: yes\r\n");
    ASSERT_EQ(session.open(s.server.url("icy", "/radio")), 0);
    ASSERT_EQ(s.server.recorded().size(), 1u);
    EXPECT_EQ(s.server.recorded()[0], "GET /radio HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: Melvox/1.0\r\n"
                                      "Accept: */*\r\nIcy-MetaData:1\r\nX-Mine: yes\r\n\r\n");
    int last = 0;
    EXPECT_TRUE(session.read_all(1000, &last) == audio);
    auto properties = session.reporter.properties();
    EXPECT_EQ(properties["icy/StreamTitle"], "'Hello World'");
    EXPECT_EQ(properties["http/icy-metaint"], "8192");
    EXPECT_EQ(properties["http/icy-name"], "Test");
}
