#include "input_session.h"
#include "loopback_server.h"
#include "test_sockets.h"

#include <gtest/gtest.h>

using namespace melvox::net;
using net_test::input_session;
using net_test::loopback_server;
using net_test::peer;

namespace {

// Reads until want bytes came or two seconds passed.
std::string read_bytes(input_session& session, size_t want, size_t piece)
{
    std::string all;
    std::string out(piece, '\0');
    for (int tries = 0; tries < 200 && all.size() < want; ++tries) {
        int got = network_input_read(session.input, out.data(), std::min(piece, want - all.size()));
        if (got > 0)
            all.append(out.data(), size_t(got));
        else if (got != error_timeout)
            break;
    }
    return all;
}

} // namespace

TEST(Udp, ListensOnThePortWhateverHostItNames)
{
    input_session session;
    session.environment.set_integer("INPUT.STREAM.HIGH-MARK", 1000);
    ASSERT_EQ(session.open("udp://radio.invalid:9000"), 0);
    std::string sent;
    for (int i = 0; i < 20; ++i) {
        std::string datagram(1000, char('A' + i));
        net_test::send_datagram(9000, datagram);
        sent += datagram;
    }
    EXPECT_EQ(read_bytes(session, sent.size(), 500), sent);
    EXPECT_EQ(network_input_get_size(session.input), 0);
}

TEST(Udp, DatagramsLargerThanThePacketSizeAreCut)
{
    uint16_t port = net_test::free_port(true);
    input_session session;
    session.environment.set_integer("INPUT.STREAM.MAX-PACKET-SIZE", 1024);
    session.environment.set_integer("INPUT.STREAM.HIGH-MARK", 10);
    ASSERT_EQ(session.open("udp://127.0.0.1:" + std::to_string(port)), 0);
    net_test::send_datagram(port, std::string(3000, 'L'));
    net_test::send_datagram(port, std::string(10, 's'));
    EXPECT_EQ(read_bytes(session, 1034, 10), std::string(1024, 'L') + std::string(10, 's'));
    EXPECT_EQ(session.reporter.detail_of("datagram larger than packet size, cut"), "3000 bytes, kept 1024");
}

TEST(Tcp, SendsALineEndThenReadsWhatThePeerSends)
{
    loopback_server server([&](peer& p, int) {
        char first[2] = {};
        net_test::receive_exactly(p.socket(), first, 2, 5000);
        server.record(std::string(first, 2));
        p.send(std::string(20000, 't'));
    });
    input_session session;
    ASSERT_EQ(session.open(server.url("tcp", "")), 0);
    int last = 0;
    EXPECT_EQ(session.read_all(1000, &last), std::string(20000, 't'));
    EXPECT_EQ(last, error_end_of_input_stream);
    ASSERT_EQ(server.recorded().size(), 1u);
    EXPECT_EQ(server.recorded()[0], "\r\n");
}

TEST(NetworkInput, ProbeQueryAndLifecycle)
{
    // https:// is the network input's in every build: one without TLS
    // refuses it with its reason rather than as a missing file.
    for (const char* name : {"http://x", "HTTP://x", "ftp://x", "udp://x", "tcp://x", "Icy://x", "https://x"})
        EXPECT_EQ(network_input_probe(name), 0) << name;
    for (const char* name : {"http:/x", "file:///x", "song.mp3", "httpx://x", "", "htt"})
        EXPECT_EQ(network_input_probe(name), error_unsupported_input_type) << name;
    EXPECT_EQ(network_input_probe(nullptr), error_unsupported_input_type);

    const char* name = nullptr;
    const char* description = nullptr;
    int32_t flags = 0;
    ASSERT_EQ(network_input_device(0, &name, &description, &flags), 0);
    EXPECT_STREQ(name, "http://*, ftp://*, udp://*, icy://*");
    EXPECT_STREQ(description, "streaming url");
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(network_input_device(1, &name, &description, &flags), error_invalid_parameters);

    input_session session;
    EXPECT_EQ(session.open(""), error_invalid_parameters);
    EXPECT_EQ(session.reporter.detail_of("internal error"), "null params or null/empty output name");
    EXPECT_EQ(network_input_close(nullptr), 0);

    input_session bad;
    EXPECT_EQ(bad.open("http://host:0/"), error_invalid_url_syntax);
    EXPECT_FALSE(bad.input->has_address);
    EXPECT_EQ(network_input_close(bad.input), error_internal);
    char byte;
    EXPECT_EQ(network_input_read(bad.input, &byte, 1), error_invalid_parameters);

    input_session file;
    EXPECT_EQ(file.open("/music/song.mp3"), error_unsupported_url_scheme);

    input_session unknown;
    EXPECT_EQ(unknown.open("gopher://host/"), error_unsupported_url_scheme);
}
