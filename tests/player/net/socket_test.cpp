#include "loopback_server.h"
#include "melvox.h"
#include "socket.h"
#include "test_sockets.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace melvox::net;
using clock_type = std::chrono::steady_clock;

namespace {

long long ms_since(clock_type::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock_type::now() - start).count();
}

std::atomic<int> slow_lookups_finished{0};

// Answers after 1500 ms; stands for a name server that is slow to reply.
int slow_lookup(const char*, ipv4_address* out)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    *out = 0x01020304;
    ++slow_lookups_finished;
    return 0;
}

int failing_lookup(const char*, ipv4_address*)
{
    return error_host_unknown;
}

} // namespace

TEST(Sockets, DottedQuadsAndLookups)
{
    ipv4_address a = 0;
    ASSERT_EQ(resolve_host("127.0.0.1", 100, &a), 0);
    EXPECT_EQ(a, 0x7f000001u);
    ASSERT_EQ(resolve_host("localhost", 5000, &a), 0);
    EXPECT_EQ(a >> 24, 127u);
    EXPECT_EQ(resolve_host("", 100, &a), error_host_unknown);
    EXPECT_EQ(resolve_host(nullptr, 100, &a), error_host_unknown);

    // Not dotted quads, so they are names; the lookup here knows none.
    name_lookup previous = replace_name_lookup(failing_lookup);
    for (const char* host : {"1.2.3", "1.2.3.4x", "256.1.1.1", "3com.example"}) {
        a = 7;
        EXPECT_EQ(resolve_host(host, 1000, &a), error_host_unknown) << host;
        EXPECT_EQ(a, 7u);
    }
    replace_name_lookup(previous);
}

TEST(Sockets, LookupTimeLimitLeavesTheCallerAlone)
{
    name_lookup previous = replace_name_lookup(slow_lookup);
    int finished = slow_lookups_finished;
    {
        ipv4_address a = 42;
        auto start = clock_type::now();
        EXPECT_EQ(resolve_host("slow.example", 100, &a), error_timeout);
        EXPECT_LT(ms_since(start), 1000);
        EXPECT_EQ(a, 42u);
        // connect_stream keeps to the same limit.
        socket_handle s = no_socket;
        start = clock_type::now();
        EXPECT_EQ(connect_stream("slow.example", 80, 100, &s), error_timeout);
        EXPECT_LT(ms_since(start), 1000);
        EXPECT_EQ(s, no_socket);
    } // a and s are gone; the late answers must not write to them
    for (int i = 0; i < 200 && slow_lookups_finished < finished + 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(slow_lookups_finished, finished + 2);
    ipv4_address b = 0;
    EXPECT_EQ(resolve_host("slow.example", 5000, &b), 0);
    EXPECT_EQ(b, 0x01020304u);
    replace_name_lookup(previous);
}

TEST(Sockets, ConnectRefusedAndTimedOut)
{
    // Windows retries a refused connect for about two seconds before it tells.
    socket_handle s = no_socket;
    EXPECT_EQ(connect_stream("127.0.0.1", net_test::free_port(false), 5000, &s), error_connection_refused);
    EXPECT_EQ(s, no_socket);

    // A listener with a full backlog lets a further connect hang.
    uint16_t port = 0;
    socket_handle listener = net_test::open_loopback(false, 0, 0, &port);
    ASSERT_NE(listener, no_socket);
    socket_handle first = no_socket;
    ASSERT_EQ(connect_stream("127.0.0.1", port, 1000, &first), 0);
    auto start = clock_type::now();
    EXPECT_EQ(connect_stream("127.0.0.1", port, 200, &s), error_timeout);
    EXPECT_GE(ms_since(start), 150);
    EXPECT_LT(ms_since(start), 1500);
    close_socket(first);
    close_socket(listener);
}

TEST(Sockets, ListenAcceptReceiveAndLines)
{
    socket_handle listener = no_socket;
    uint16_t port = 0;
    ASSERT_EQ(listen_stream(0, &port, &listener), 0);
    ASSERT_NE(port, 0);
    socket_handle accepted = no_socket;
    EXPECT_EQ(accept_stream(listener, 50, &accepted), error_timeout);

    socket_handle client = no_socket;
    ASSERT_EQ(connect_stream("127.0.0.1", port, 1000, &client), 0);
    ASSERT_EQ(accept_stream(listener, 1000, &accepted), 0);
    ipv4_address local = 0;
    ASSERT_EQ(local_address(client, &local), 0);
    EXPECT_EQ(local, 0x7f000001u);

    char buffer[16];
    EXPECT_EQ(receive(client, buffer, sizeof buffer, 20), error_timeout);
    std::string long_line(40, 'x');
    std::string lines = "first\r\n" + long_line + "\nthird\npartial";
    ASSERT_EQ(send_all(accepted, lines.data(), lines.size()), 0);
    EXPECT_EQ(read_line(client, buffer, sizeof buffer, 1000), 5);
    EXPECT_STREQ(buffer, "first");
    // Cut to the buffer, the rest of the line dropped, not left for later.
    EXPECT_EQ(read_line(client, buffer, sizeof buffer, 1000), 16);
    EXPECT_EQ(std::string(buffer), std::string(15, 'x'));
    EXPECT_EQ(read_line(client, buffer, sizeof buffer, 1000), 5);
    EXPECT_STREQ(buffer, "third");
    auto start = clock_type::now();
    EXPECT_EQ(read_line(client, buffer, sizeof buffer, 100), error_timeout) << "no line end in time";
    EXPECT_LT(ms_since(start), 1500);

    close_socket(accepted);
    EXPECT_EQ(receive(client, buffer, sizeof buffer, 1000), error_socket_closed);
    close_socket(client);
    close_socket(listener);
}

// A program that the caller starts must not hold the player's connections
// open after the player has closed them.
TEST(Sockets, AreKeptFromChildPrograms)
{
    socket_handle listener = no_socket, client = no_socket, accepted = no_socket, datagram = no_socket;
    uint16_t port = 0;
    ASSERT_EQ(listen_stream(0, &port, &listener), 0);
    ASSERT_EQ(connect_stream("127.0.0.1", port, 1000, &client), 0);
    ASSERT_EQ(accept_stream(listener, 1000, &accepted), 0);
    ASSERT_EQ(open_datagram(0, &datagram), 0);
    EXPECT_FALSE(net_test::inherited_by_children(listener));
    EXPECT_FALSE(net_test::inherited_by_children(client));
    EXPECT_FALSE(net_test::inherited_by_children(accepted));
    EXPECT_FALSE(net_test::inherited_by_children(datagram));
    for (socket_handle s : {listener, client, accepted, datagram})
        close_socket(s);
}

TEST(Sockets, DatagramsAreCutToTheRequestedSize)
{
    uint16_t port = net_test::free_port(true);
    socket_handle s = no_socket;
    ASSERT_EQ(open_datagram(port, &s), 0);
    socket_handle second = no_socket;
    EXPECT_EQ(open_datagram(port, &second), error_bind_failed);

    ASSERT_TRUE(net_test::send_datagram(port, std::string(3000, 'b')));
    ASSERT_TRUE(net_test::send_datagram(port, ""));
    ASSERT_TRUE(net_test::send_datagram(port, "next"));
    char buffer[1000];
    size_t full = 0;
    EXPECT_EQ(receive_datagram(s, buffer, sizeof buffer, 1000, &full), 1000);
    EXPECT_EQ(full, 3000u);
    EXPECT_EQ(receive_datagram(s, buffer, sizeof buffer, 1000, &full), 0) << "an empty datagram is not an end";
    EXPECT_EQ(receive_datagram(s, buffer, sizeof buffer, 1000, &full), 4) << "the cut bytes are gone, not left";
    EXPECT_EQ(std::string(buffer, 4), "next");
    close_socket(s);
}
