#include "connection.h"
#include "icy_metadata.h"
#include "melvox.h"
#include "recording_reporter.h"
#include "stream_buffer.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

using namespace melvox::net;
using net_test::recording_reporter;

namespace {

// Hands out a byte string in chunks of the given sizes (cycled), then ends.
class chunked_source : public stream_source {
public:
    chunked_source(std::string bytes, std::vector<size_t> sizes) : bytes_(std::move(bytes)), sizes_(std::move(sizes)) {}
    int receive(void* buffer, size_t size, int) override
    {
        if (pos_ == bytes_.size())
            return error_socket_closed;
        size_t n = std::min({size, sizes_[turn_++ % sizes_.size()], bytes_.size() - pos_});
        std::copy_n(bytes_.data() + pos_, n, static_cast<char*>(buffer));
        pos_ += n;
        return int(n);
    }

private:
    std::string bytes_;
    std::vector<size_t> sizes_;
    size_t pos_ = 0;
    size_t turn_ = 0;
};

std::string audio_bytes(size_t count, size_t from)
{
    std::string a;
    for (size_t i = from; i < from + count; ++i)
        a += char(i * 13 + i / 256);
    return a;
}

// One metadata block: the length byte and the text padded to 16 bytes.
std::string metadata_block(const std::string& text)
{
    size_t blocks = (text.size() + 15) / 16;
    std::string padded = text;
    padded.resize(blocks * 16, '\0');
    return char(blocks) + padded;
}

std::vector<std::pair<std::string, std::string>> pairs_of(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    parse_icy_metadata(text, [&](std::string_view k, std::string_view v) { pairs.emplace_back(k, v); });
    return pairs;
}

} // namespace

TEST(IcyMetadata, PairsKeepTheirQuotes)
{
    auto pairs = pairs_of("StreamTitle='Artist - Song';StreamUrl='';trailing");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], std::make_pair(std::string("StreamTitle"), std::string("'Artist - Song'")));
    EXPECT_EQ(pairs[1], std::make_pair(std::string("StreamUrl"), std::string("''")));
    pairs = pairs_of("StreamTitle='A; B';X=y;Z='unclosed;");
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].second, "'A; B'");
    EXPECT_EQ(pairs[1].second, "y");
    EXPECT_EQ(pairs[2].second, "'unclosed");
    EXPECT_TRUE(pairs_of("no pairs here").empty());
    EXPECT_TRUE(pairs_of("=value;").empty()) << "an empty key is ignored";
    EXPECT_TRUE(pairs_of(std::string(256, 'k') + "=v;").empty()) << "an over-long key is ignored";
    EXPECT_EQ(pairs_of(std::string(255, 'k') + "=v;").size(), 1u);
}

TEST(IcyMetadata, DeliversExactlyTheAudioBytes)
{
    const uint32_t interval = 8192;
    std::string audio = audio_bytes(5 * interval + 100, 0);
    std::string wire;
    const char* titles[] = {"StreamTitle='One';", "", "StreamTitle='Two; or not';StreamUrl='http://x';", "", "A=1;"};
    for (int i = 0; i < 5; ++i) {
        wire += audio.substr(size_t(i) * interval, interval);
        wire += titles[i][0] ? metadata_block(titles[i]) : std::string(1, '\0');
    }
    wire += audio.substr(5 * interval);

    for (std::vector<size_t> sizes : {std::vector<size_t>{1, 7, 1000, 8193, 4096}, {65536}, {8192}, {8193}}) {
        stream_buffer b;
        ASSERT_EQ(b.allocate(stream_settings{}), 0);
        b.set_icy_interval(interval);
        chunked_source source(wire, sizes);
        recording_reporter reporter;
        std::string out;
        char piece[1000];
        for (int tries = 0; tries < 10000 && out.size() < audio.size(); ++tries) {
            size_t n = std::min(sizeof piece, audio.size() - out.size());
            int got = b.read(piece, n, source, reporter);
            if (got == error_timeout)
                continue;
            ASSERT_EQ(got, int(n));
            out.append(piece, n);
            // A block's properties are set once playback has reached it.
            auto properties = reporter.properties();
            EXPECT_EQ(properties.count("icy/StreamTitle") == 1, out.size() >= interval) << out.size();
        }
        ASSERT_EQ(out.size(), audio.size());
        EXPECT_TRUE(out == audio) << "chunk sizes starting " << sizes[0];
        auto properties = reporter.properties();
        EXPECT_EQ(properties["icy/StreamTitle"], "'Two; or not'");
        EXPECT_EQ(properties["icy/StreamUrl"], "'http://x'");
        EXPECT_EQ(properties["icy/A"], "1");
        EXPECT_EQ(b.read(piece, 1, source, reporter), error_end_of_input_stream);
    }
}

TEST(IcyMetadata, LengthPastTheDataEndsTheStreamCleanly)
{
    const uint32_t interval = 16;
    std::string audio = audio_bytes(20, 0);
    // The length byte promises 255 x 16 bytes; only 10 arrive.
    std::string wire = audio.substr(0, 16) + char(255) + "StreamTitle";
    stream_buffer b;
    ASSERT_EQ(b.allocate(stream_settings{}), 0);
    b.set_icy_interval(interval);
    chunked_source source(wire, {3});
    recording_reporter reporter;
    char out[16];
    int got = error_timeout;
    for (int tries = 0; tries < 100 && got == error_timeout; ++tries)
        got = b.read(out, 16, source, reporter);
    ASSERT_EQ(got, 16);
    EXPECT_EQ(std::string(out, 16), audio.substr(0, 16));
    EXPECT_EQ(b.read(out, 1, source, reporter), error_end_of_input_stream);
    EXPECT_TRUE(reporter.properties().empty());
}

TEST(IcyMetadata, PendingBlocksAreBounded)
{
    // Interval 1 with a block after every byte: the ring fills with audio
    // while the blocks wait; only the newest pending_limit are kept.
    std::string wire;
    for (int i = 0; i < 1000; ++i)
        wire += char('a' + i % 26) + metadata_block("N=" + std::to_string(i) + ";");
    stream_settings s;
    s.high_mark = 900;
    stream_buffer b;
    ASSERT_EQ(b.allocate(s), 0);
    b.set_icy_interval(1);
    chunked_source source(wire, {100000});
    recording_reporter reporter;
    b.fill(0, source, reporter);
    EXPECT_EQ(b.held(), 1000u);
    char out[1000];
    ASSERT_EQ(b.read(out, 1000, source, reporter), 1000);
    EXPECT_EQ(reporter.properties()["icy/N"], "999");
    EXPECT_EQ(reporter.property_calls(), icy_cutter::pending_limit);
}
