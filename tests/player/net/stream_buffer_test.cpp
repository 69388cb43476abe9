#include "connection.h"
#include "melvox.h"
#include "list_environment.h"
#include "recording_reporter.h"
#include "stream_buffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace melvox::net;
using net_test::recording_reporter;

namespace {

uint8_t sequence_byte(uint64_t i)
{
    return uint8_t(i * 7 + i / 251);
}

// Gives the scripted chunks one receive each (cut to the requested size),
// then times out, or ends with end_code once told to end.
class scripted_source : public stream_source {
public:
    int receive(void* buffer, size_t size, int) override
    {
        ++receives;
        requested.push_back(size);
        if (chunks.empty())
            return ending ? end_code : error_timeout;
        std::string& front = chunks.front();
        size_t n = std::min(size, front.size());
        std::copy_n(front.data(), n, static_cast<char*>(buffer));
        front.erase(0, n);
        if (front.empty())
            chunks.pop_front();
        return int(n);
    }
    bool takes_packets() const override { return packets; }

    std::deque<std::string> chunks;
    bool ending = false;
    bool packets = false;
    int end_code = error_socket_closed;
    int receives = 0;
    std::vector<size_t> requested;
};

// An endless stream of sequence bytes, at most chunk bytes per receive.
class endless_source : public stream_source {
public:
    explicit endless_source(size_t chunk) : chunk_(chunk) {}
    int receive(void* buffer, size_t size, int) override
    {
        ++receives;
        size_t n = std::min(size, chunk_);
        auto bytes = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < n; ++i)
            bytes[i] = sequence_byte(produced++);
        return int(n);
    }
    uint64_t produced = 0;
    int receives = 0;

private:
    size_t chunk_;
};

// Reads n bytes, repeating while the buffer refills (at most 10000 tries).
int read_through(stream_buffer& b, void* out, size_t n, stream_source& s, net_reporter& r)
{
    for (int tries = 0; tries < 10000; ++tries) {
        int result = b.read(out, n, s, r);
        if (result != error_timeout)
            return result;
    }
    return error_timeout;
}

stream_buffer allocated(stream_settings settings = {})
{
    stream_buffer b;
    EXPECT_EQ(b.allocate(settings), 0);
    return b;
}

} // namespace

TEST(StreamBuffer, ReadsWaitForTheHighMarkThenFlow)
{
    stream_buffer b = allocated();
    endless_source source(1000);
    recording_reporter reporter;
    uint8_t out[4];
    int timeouts = 0;
    while (b.read(out, 4, source, reporter) == error_timeout && timeouts < 100)
        ++timeouts;
    // 16 receives of 1000 bytes stay below 16384; the 17th reaches it.
    EXPECT_EQ(timeouts, 16);
    EXPECT_EQ(out[0], sequence_byte(0));
    EXPECT_EQ(out[3], sequence_byte(3));
    // A new stream starts in underflow, so no underflow report comes first.
    auto progress = reporter.progress();
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress[0].code, progress_buffer_fill);
    EXPECT_EQ(progress[0].value, 1000 * 100 / 131072 + 1);
    EXPECT_EQ(progress[1].code, progress_buffering);
    EXPECT_EQ(progress[1].value, 1000 * 100 / 16384 + 1);
    for (const auto& p : progress)
        EXPECT_NE(p.code, progress_underflow);

    reporter.clear();
    ASSERT_EQ(b.read(out, 4, source, reporter), 4);
    EXPECT_EQ(out[0], sequence_byte(4));
    EXPECT_FALSE(b.in_underflow());
    auto codes = reporter.progress_codes();
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[0], progress_buffering);
    EXPECT_EQ(reporter.progress()[0].value, 100);
    EXPECT_EQ(codes[1], progress_refilled);

    // Starved after flowing: the read that finds too little reports the
    // underflow once and waits for the high mark again.
    scripted_source dry;
    std::vector<uint8_t> rest(b.held());
    ASSERT_EQ(b.read(rest.data(), rest.size(), dry, reporter), int(rest.size()));
    reporter.clear();
    EXPECT_EQ(b.read(out, 4, dry, reporter), error_timeout);
    EXPECT_EQ(b.read(out, 4, dry, reporter), error_timeout);
    codes = reporter.progress_codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(progress_underflow)), 1);
    EXPECT_TRUE(b.in_underflow());
}

TEST(StreamBuffer, EndedStreamDrainsThenEnds)
{
    stream_buffer b = allocated();
    scripted_source source;
    source.chunks = {"0123456789"};
    source.ending = true;
    recording_reporter reporter;
    char out[4];
    ASSERT_EQ(read_through(b, out, 4, source, reporter), 4);
    EXPECT_EQ(std::string(out, 4), "0123");
    ASSERT_EQ(b.read(out, 4, source, reporter), 4);
    EXPECT_EQ(std::string(out, 4), "4567");
    EXPECT_EQ(b.read(out, 4, source, reporter), error_end_of_input_stream);
    EXPECT_EQ(b.read(out, 2, source, reporter), 2) << "the last two bytes are still there";
    EXPECT_EQ(b.read(out, 1, source, reporter), error_end_of_input_stream);
    auto codes = reporter.progress_codes();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), int(progress_end_of_stream)), 1);
}

TEST(StreamBuffer, RingNeverHoldsMoreThanSizeLessOneAndKeepsOrder)
{
    stream_buffer b = allocated();
    endless_source greedy(1 << 20);
    recording_reporter reporter;
    b.fill(0, greedy, reporter);
    EXPECT_EQ(b.held(), 131071u);
    b.fill(0, greedy, reporter);
    EXPECT_EQ(b.held(), 131071u);

    // Reads and fills of changing sizes walk the positions round the ring
    // many times, through the spare area; every byte comes out in order.
    uint64_t next = 0;
    std::vector<uint8_t> out(5000);
    for (int i = 0; i < 3000; ++i) {
        size_t n = size_t(1 + (i * 7919) % 4999);
        int got = read_through(b, out.data(), n, greedy, reporter);
        ASSERT_EQ(got, int(n));
        for (size_t k = 0; k < n; ++k)
            ASSERT_EQ(out[k], sequence_byte(next + k)) << "byte " << next + k;
        next += n;
        ASSERT_LE(b.held(), 131071u);
        if (i % 3 == 0)
            b.fill(0, greedy, reporter);
    }
    EXPECT_GT(next, 10u * 131072u);
}

TEST(StreamBuffer, ForcedFillsAfterAccumulationOrInTheLowZone)
{
    stream_buffer b = allocated();
    endless_source source(1000);
    recording_reporter reporter;
    uint8_t out[4];
    ASSERT_EQ(read_through(b, out, 4, source, reporter), 4);
    ASSERT_EQ(source.receives, 17);
    // Well above the force-fill zone, one fill follows every 514 reads of 4
    // bytes (when more than 2048 bytes have been read since the last).
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(b.read(out, 4, source, reporter), 4);
    EXPECT_EQ(source.receives, 17 + 3);
    EXPECT_EQ(b.held(), 17000u - 4u - 8000u + 3000u);

    // A short scripted stream: every read below the force-fill zone fills.
    stream_settings s;
    s.high_mark = 100;
    stream_buffer low = allocated(s);
    scripted_source trickle;
    for (int i = 0; i < 50; ++i)
        trickle.chunks.push_back(std::string(100, char('a' + i % 26)));
    char text[100];
    ASSERT_EQ(read_through(low, text, 100, trickle, reporter), 100);
    int before = trickle.receives;
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(read_through(low, text, 50, trickle, reporter), 50);
    EXPECT_GE(trickle.receives - before, 10);
}

TEST(StreamBuffer, ErrorsOtherThanTimeoutEndTheStream)
{
    for (int code : {error_socket_closed, error_read_failed, error_select_failed}) {
        stream_buffer b = allocated();
        scripted_source source;
        source.chunks = {"abc"};
        source.ending = true;
        source.end_code = code;
        recording_reporter reporter;
        char out[3];
        EXPECT_EQ(read_through(b, out, 3, source, reporter), 3);
        EXPECT_TRUE(b.ended());
        EXPECT_EQ(b.read(out, 1, source, reporter), error_end_of_input_stream);
    }
    // A time-out changes nothing.
    stream_buffer b = allocated();
    scripted_source silent;
    recording_reporter reporter;
    char out[1];
    EXPECT_EQ(b.read(out, 1, silent, reporter), error_timeout);
    EXPECT_FALSE(b.ended());
}

TEST(StreamBuffer, SettingsFromTheEnvironmentAreFittedToTheRing)
{
    melvox::named_value_list env;
    stream_settings s = read_stream_settings(net_test::list_environment(env));
    EXPECT_EQ(s.buffer_size, 131072);
    EXPECT_EQ(s.max_packet_size, 8192);
    EXPECT_EQ(s.high_mark, 16384);
    EXPECT_EQ(s.read_timeout, 100);
    EXPECT_EQ(s.max_accu, 2048);
    EXPECT_EQ(s.force_fill_zone, 2048);
#ifdef _WIN32
    EXPECT_TRUE(s.accept_icy) << "the Windows player takes icy: streams unless told otherwise";
#else
    EXPECT_FALSE(s.accept_icy);
#endif

    env.set_integer("INPUT.STREAM.BUFFER-SIZE", 8192);
    env.set_string("INPUT.STREAM.READ-TIMEOUT", "fast"); // wrong type: default
    env.set_integer("INPUT.STREAM.MAX-ACCU", -5);        // out of range: default
    env.set_integer("INPUT.STREAM.ACCEPT-ICY", 1);
    s = read_stream_settings(net_test::list_environment(env));
    EXPECT_EQ(s.buffer_size, 8192);
    EXPECT_EQ(s.max_packet_size, 4096);
    EXPECT_EQ(s.high_mark, 4096);
    EXPECT_EQ(s.read_timeout, 100);
    EXPECT_EQ(s.max_accu, 2048);
    EXPECT_TRUE(s.accept_icy);

    // A small ring still reaches its high mark, and refuses reads it could
    // never hold instead of timing out for ever.
    stream_buffer b = allocated(s);
    endless_source source(1 << 20);
    recording_reporter reporter;
    std::vector<uint8_t> out(8192);
    EXPECT_EQ(read_through(b, out.data(), 4096, source, reporter), 4096);
    EXPECT_EQ(b.read(out.data(), 4097, source, reporter), error_invalid_parameters);
}

TEST(StreamBuffer, DatagramSourcesAreAskedForOnePacket)
{
    stream_buffer b = allocated();
    scripted_source source;
    source.packets = true;
    source.chunks = {std::string(100, 'x')};
    recording_reporter reporter;
    char out[1];
    b.read(out, 1, source, reporter);
    ASSERT_FALSE(source.requested.empty());
    EXPECT_EQ(source.requested[0], 8192u);
}
