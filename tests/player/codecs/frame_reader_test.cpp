// Finding frames: sync search, the look-ahead that confirms a new position,
// recovery from garbage and false headers, and input errors.
#include "mpeg_errors.h"
#include "mpeg_frame_reader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <random>
#include <vector>

using namespace melvox::mpeg;

namespace {

constexpr uint32_t layer1_header = 0xFFFFC000u; // MPEG-1 Layer I, 384 kbit/s, 44.1 kHz: 416 bytes
constexpr size_t layer1_length = 416;

// A Layer I frame whose body carries a marker byte (the frame's number).
std::vector<uint8_t> frame(uint8_t marker)
{
    std::vector<uint8_t> bytes(layer1_length, 0);
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(layer1_header >> (24 - 8 * i));
    bytes[100] = marker;
    return bytes;
}

void append(std::vector<uint8_t>& stream, const std::vector<uint8_t>& bytes)
{
    stream.insert(stream.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> garbage(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random() % 0xF0); // no 0xFF: no sync by chance
    return bytes;
}

// Reads all frames; returns their markers and checks that the end is -514.
std::vector<int> markers(stream_input& input, frame_reader& reader)
{
    std::vector<int> found;
    int result;
    while ((result = reader.next_frame(input)) == 0) {
        reader.bits().set_position(96 * 8);
        found.push_back(static_cast<int>(reader.bits().get_bits(8)));
    }
    EXPECT_EQ(result, error_end_of_input);
    return found;
}

std::vector<int> markers(const std::vector<uint8_t>& stream)
{
    memory_input input(stream.data(), stream.size());
    frame_reader reader;
    return markers(input, reader);
}

TEST(FrameReader, ReadsConsecutiveFramesAndTheLastOne)
{
    std::vector<uint8_t> stream;
    for (uint8_t i = 1; i <= 5; ++i)
        append(stream, frame(i));
    memory_input input(stream.data(), stream.size());
    frame_reader reader;
    ASSERT_EQ(reader.next_frame(input), 0);
    EXPECT_TRUE(reader.in_sync()) << "confirmed by the header behind it";
    EXPECT_EQ(reader.header().layer, 3);
    EXPECT_EQ(markers(input, reader), (std::vector<int>{2, 3, 4, 5}));
}

TEST(FrameReader, SkipsGarbageBeforeAndBetweenFrames)
{
    std::vector<uint8_t> stream = garbage(333, 1);
    append(stream, frame(1));
    append(stream, frame(2));
    append(stream, garbage(77, 2));
    append(stream, frame(3));
    append(stream, frame(4));
    EXPECT_EQ(markers(stream), (std::vector<int>{1, 2, 3, 4}));

    // A lone frame after garbage: its look-ahead meets the end of the stream.
    std::vector<uint8_t> lone = garbage(20, 8);
    append(lone, frame(7));
    EXPECT_EQ(markers(lone), std::vector<int>{7});
}

TEST(FrameReader, AFrameWithoutAValidHeaderBehindItIsDropped)
{
    // Frame 2 is followed by garbage, then frame 3 ends the stream: once the
    // sync is lost, a frame counts only when a valid header follows it.
    std::vector<uint8_t> stream = garbage(50, 3);
    append(stream, frame(1));
    append(stream, garbage(9, 4));
    append(stream, frame(2));
    append(stream, garbage(20, 5));
    std::vector<uint8_t> tail = frame(3);
    tail.pop_back(); // truncated: never complete
    append(stream, tail);
    EXPECT_EQ(markers(stream), std::vector<int>{});
}

TEST(FrameReader, FalseHeaderInGarbageDoesNotSwallowTheFramesBehindIt)
{
    // A valid-looking header 10 bytes before the real frames claims a frame
    // that covers the first of them; its look-ahead fails, and the search
    // goes on from the byte after the false header.
    std::vector<uint8_t> stream = garbage(40, 6);
    std::vector<uint8_t> false_start = {0xFF, 0xFB, 0x90, 0x00, 1, 2, 3, 4, 5, 6}; // Layer III, 417 bytes
    append(stream, false_start);
    for (uint8_t i = 1; i <= 4; ++i)
        append(stream, frame(i));
    EXPECT_EQ(markers(stream), (std::vector<int>{1, 2, 3, 4}));
}

TEST(FrameReader, HeaderBytesSplitAcrossAFailedMatchAreFound)
{
    // 0xFF 0xFF before a frame: the word FFFFFFC0 fails validation; the real
    // header begins two bytes later.
    std::vector<uint8_t> stream = {0x12, 0xFF, 0xFF};
    append(stream, frame(1));
    append(stream, frame(2));
    EXPECT_EQ(markers(stream), (std::vector<int>{1, 2}));
}

TEST(FrameReader, InvalidHeadersAreSkippedAndSyncReturns)
{
    std::vector<uint8_t> stream;
    append(stream, frame(1));
    std::vector<uint8_t> bad = frame(2);
    bad[2] = 0xF0; // bitrate index 15
    append(stream, bad);
    for (uint8_t i = 3; i <= 5; ++i)
        append(stream, frame(i));
    // Frame 1 loses its confirming header, frame 2 is not a frame.
    EXPECT_EQ(markers(stream), (std::vector<int>{3, 4, 5}));
}

// An input that fails once with "read failed" at a chosen read.
class flaky_input : public memory_input {
public:
    flaky_input(const std::vector<uint8_t>& bytes, int fail_at)
        : memory_input(bytes.data(), bytes.size()), fail_at_(fail_at)
    {
    }
    int read(void* buffer, size_t size) override
    {
        if (++reads_ == fail_at_)
            return error_read_failed;
        return memory_input::read(buffer, size);
    }

private:
    int fail_at_;
    int reads_ = 0;
};

TEST(FrameReader, AFailedReadCanBeRepeated)
{
    std::vector<uint8_t> stream = garbage(5, 7);
    for (uint8_t i = 1; i <= 4; ++i)
        append(stream, frame(i));
    for (int fail_at = 1; fail_at < 16; ++fail_at) {
        flaky_input input(stream, fail_at);
        frame_reader reader;
        std::vector<int> found;
        for (int calls = 0; calls < 20; ++calls) {
            int result = reader.next_frame(input);
            if (result == error_end_of_input)
                break;
            if (result == error_read_failed)
                continue;
            ASSERT_EQ(result, 0);
            reader.bits().set_position(96 * 8);
            found.push_back(static_cast<int>(reader.bits().get_bits(8)));
        }
        EXPECT_EQ(found, (std::vector<int>{1, 2, 3, 4})) << "failure at read " << fail_at;
    }
}

TEST(FrameReader, ReservedHeadersGiveNoFrames)
{
    for (uint32_t word : {0xFFFBF000u, 0xFFF90000u | 9u << 12, 0xFFFB9C00u}) {
        std::vector<uint8_t> stream;
        for (int n = 0; n < 20; ++n) {
            std::vector<uint8_t> bytes(417, 0x55);
            for (int i = 0; i < 4; ++i)
                bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(word >> (24 - 8 * i));
            append(stream, bytes);
        }
        EXPECT_EQ(markers(stream), std::vector<int>{}) << std::hex << word;
    }
}

// A free-format Layer I frame (44.1 kHz) of `length` bytes before padding.
std::vector<uint8_t> free_frame(uint8_t marker, size_t length, bool padded = false)
{
    std::vector<uint8_t> bytes = frame(marker);
    bytes.resize(length + (padded ? 4 : 0));
    bytes[2] = padded ? 0x02 : 0x00; // bitrate index 0, padding bit
    return bytes;
}

TEST(FrameReader, FreeFormatLengthIsTheDistanceBetweenSyncWordsCheckedOnTheNextFrame)
{
    std::vector<uint8_t> stream;
    std::vector<uint8_t> first = free_frame(1, 300);
    // A header of the same stream inside the first frame: the distance to it
    // is refuted because no header follows at that distance again.
    std::copy_n(first.begin(), 4, first.begin() + 120);
    append(stream, first);
    for (uint8_t i = 2; i <= 4; ++i)
        append(stream, free_frame(i, 300));
    // After garbage, another stream with another length, padded frames among them.
    append(stream, garbage(50, 3));
    for (uint8_t i = 5; i <= 8; ++i)
        append(stream, free_frame(i, 260, i == 6));
    EXPECT_EQ(markers(stream), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));

    std::vector<uint8_t> lone = free_frame(1, 300);
    EXPECT_EQ(markers(lone), std::vector<int>{}) << "one frame alone tells no length";
    append(lone, free_frame(2, 300));
    EXPECT_EQ(markers(lone), (std::vector<int>{1, 2})) << "two frames that end the stream do";
    memory_input input(lone.data(), lone.size());
    frame_reader reader;
    ASSERT_EQ(reader.next_frame(input), 0);
    EXPECT_EQ(reader.length(), 300);
    EXPECT_EQ(reader.bitrate_kbps(), 276) << "300 bytes for 384 samples at 44.1 kHz";
}

TEST(FrameReader, FlushForgetsTheSync)
{
    std::vector<uint8_t> stream;
    for (uint8_t i = 1; i <= 6; ++i)
        append(stream, frame(i));
    memory_input input(stream.data(), stream.size());
    frame_reader reader;
    ASSERT_EQ(reader.next_frame(input), 0);
    ASSERT_TRUE(reader.in_sync());
    // Move into the middle of frame 3, as a seek would.
    input.seek(2 * layer1_length + 200);
    reader.flush();
    EXPECT_FALSE(reader.in_sync());
    EXPECT_EQ(markers(input, reader), (std::vector<int>{4, 5, 6}));
}

} // namespace
