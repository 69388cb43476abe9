// Messages through real pipes: every signature, the limits, and frames that
// a receiver must survive.
#include "messages/frame_codec.h"
#include "messages/message_layouts.h"
#include "transport/posix/pipe_frames_posix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

using namespace melvox;

namespace {

class PipeChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        reader = std::make_unique<frame_reader>(fds[0]);
        writer = std::make_unique<frame_writer>(fds[1], true);
    }

    // 1 with the message, or the channel's error.
    int receive(player_message& out, long long timeout_us = 2000000)
    {
        watched_reader readers[] = {{reader.get(), true}};
        size_t source;
        int r = receive_frame(readers, deadline_after_us(timeout_us), storage.bytes, source);
        if (r < 0)
            return r;
        r = decode_frame(storage, out);
        return r < 0 ? r : 1;
    }

    void write_raw(const std::vector<uint8_t>& bytes)
    {
        ASSERT_EQ(write_all(writer->fd(), bytes.data(), bytes.size(), true, nullptr), 0);
    }

    std::unique_ptr<frame_reader> reader;
    std::unique_ptr<frame_writer> writer;
    received_frame storage;
};

player_message make(int code)
{
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    return m;
}

// Distinct values for every field of a code, so that a field read from the
// wrong place or clobbered by a neighbour shows.
struct sample_arguments {
    std::vector<std::string> strings;
    std::vector<std::vector<uint8_t>> blocks;
    std::vector<player_property> properties;
    std::string property_text = "a property value";

    player_message fill(int code, const message_layout& layout)
    {
        player_message m = make(code);
        strings.reserve(8);
        blocks.reserve(8);
        for (size_t i = 0; i < layout.field_count; ++i) {
            const wire_field& f = layout.fields[i];
            uint32_t seed = static_cast<uint32_t>(code * 31 + f.offset);
            switch (f.tag) {
            case 'b': player_message_set_byte(&m, f.offset, static_cast<uint8_t>(0x80 | seed)); break;
            case 's': player_message_set_half(&m, f.offset, static_cast<uint16_t>(0x8000 | seed)); break;
            case 'l': player_message_set_word(&m, f.offset, 0x80000000u | seed << 8 | f.offset); break;
            case 'c':
                strings.push_back("text " + std::to_string(code) + "/" + std::to_string(f.offset));
                player_message_set_pointer(&m, f.offset, strings.back().c_str());
                break;
            case 'B': {
                size_t size = f.length == block_length::fixed ? f.fixed_length : 100 + seed % 200;
                if (f.length == block_length::product_halves) {
                    player_message_set_half(&m, f.length_offset, 2);
                    player_message_set_half(&m, f.factor_offset, 256);
                    size = 512;
                }
                if (f.length == block_length::word_at)
                    player_message_set_word(&m, f.length_offset, static_cast<uint32_t>(size));
                blocks.emplace_back(size);
                for (size_t k = 0; k < size; ++k)
                    blocks.back()[k] = static_cast<uint8_t>(k * 7 + seed);
                player_message_set_pointer(&m, f.offset, blocks.back().data());
                break;
            }
            case 'p':
                properties = {{"mpeg/layer", player_value_integer, {}},
                              {"id3/title", player_value_string, {}},
                              {"id3/comment", player_value_string, {}}};
                properties[0].value.integer = -3;
                properties[1].value.string = property_text.c_str();
                properties[2].value.string = "";
                player_message_set_word(&m, f.length_offset, 3);
                player_message_set_pointer(&m, f.offset, properties.data());
                break;
            }
        }
        return m;
    }
};

void expect_same_fields(const player_message& sent, const player_message& got, const message_layout& layout)
{
    ASSERT_EQ(got.code, sent.code);
    for (size_t i = 0; i < layout.field_count; ++i) {
        const wire_field& f = layout.fields[i];
        SCOPED_TRACE(std::string(layout.name) + " field " + f.tag + std::to_string(f.offset));
        switch (f.tag) {
        case 'b': EXPECT_EQ(player_message_byte(&got, f.offset), player_message_byte(&sent, f.offset)); break;
        case 's': EXPECT_EQ(player_message_half(&got, f.offset), player_message_half(&sent, f.offset)); break;
        case 'l': EXPECT_EQ(player_message_word(&got, f.offset), player_message_word(&sent, f.offset)); break;
        case 'c':
            EXPECT_STREQ(static_cast<const char*>(player_message_pointer(&got, f.offset)),
                         static_cast<const char*>(player_message_pointer(&sent, f.offset)));
            break;
        case 'B': {
            size_t size = f.length == block_length::fixed     ? f.fixed_length
                          : f.length == block_length::word_at ? player_message_word(&sent, f.length_offset)
                                                              : size_t{player_message_half(&sent, f.length_offset)} *
                                                                    player_message_half(&sent, f.factor_offset);
            if (f.length == block_length::word_at) {
                EXPECT_EQ(player_message_word(&got, f.length_offset), size);
            }
            auto a = static_cast<const uint8_t*>(player_message_pointer(&sent, f.offset));
            auto b = static_cast<const uint8_t*>(player_message_pointer(&got, f.offset));
            ASSERT_NE(b, nullptr);
            EXPECT_NE(a, b); // a copy, not the sender's buffer
            EXPECT_EQ(std::vector<uint8_t>(a, a + size), std::vector<uint8_t>(b, b + size));
            break;
        }
        case 'p': {
            ASSERT_EQ(player_message_word(&got, f.length_offset), 3u);
            auto p = static_cast<const player_property*>(player_message_pointer(&got, f.offset));
            EXPECT_STREQ(p[0].name, "mpeg/layer");
            EXPECT_EQ(p[0].type, player_value_integer);
            EXPECT_EQ(p[0].value.integer, -3);
            EXPECT_STREQ(p[1].name, "id3/title");
            EXPECT_EQ(p[1].type, player_value_string);
            EXPECT_STREQ(p[1].value.string, "a property value");
            EXPECT_STREQ(p[2].value.string, "");
            break;
        }
        }
    }
}

TEST_F(PipeChannel, EveryMessageSurvivesTheTrip)
{
    int codes = 0;
    for (int code = 1; code < player_message_code_limit; ++code) {
        const message_layout* layout = find_message_layout(code);
        if (layout == nullptr)
            continue;
        sample_arguments args;
        player_message sent = args.fill(code, *layout);
        ASSERT_EQ(writer->post(sent), 0) << layout->name;
        player_message got;
        ASSERT_EQ(receive(got), 1) << layout->name;
        expect_same_fields(sent, got, *layout);
        ++codes;
    }
    EXPECT_EQ(codes, 154);
}

TEST_F(PipeChannel, FramesHaveTheDocumentedBytes)
{
    player_message ping = make(command_ping);
    player_message_set_word(&ping, 4, 0x01020304);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(encode_frame(ping, bytes), 0);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{3, 0, 0, 0, 9, 'l', 1, 2, 3, 4}));

    player_message env = make(command_set_environment_string);
    player_message_set_pointer(&env, 4, "ab");
    player_message_set_pointer(&env, 8, nullptr);
    ASSERT_EQ(encode_frame(env, bytes), 0);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{38, 0, 0, 0, 14, 'c', 0, 3, 'a', 'b', 0, 'c', 0, 1, 0}));

    player_message nack = make(notify_nack);
    player_message_set_byte(&nack, 4, 37);
    player_message_set_half(&nack, 6, static_cast<uint16_t>(-900));
    ASSERT_EQ(encode_frame(nack, bytes), 0);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{75, 0, 0, 0, 9, 'b', 37, 's', 0xfc, 0x7c}));

    player_message none = make(command_input_send_message);
    player_message_set_half(&none, 4, 1);
    player_message_set_word(&none, 12, 50); // a size without data is an empty block
    ASSERT_EQ(encode_frame(none, bytes), 0);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{10, 0, 0, 0, 12, 's', 0, 1, 'B', 0, 0, 0, 0}));
}

TEST_F(PipeChannel, EmptyAndNullStringsArriveEmptyAndNullBlocksNull)
{
    player_message m = make(command_set_environment_string);
    player_message_set_pointer(&m, 4, "");
    player_message_set_pointer(&m, 8, nullptr);
    ASSERT_EQ(writer->post(m), 0);
    player_message got;
    ASSERT_EQ(receive(got), 1);
    ASSERT_NE(player_message_pointer(&got, 4), nullptr);
    ASSERT_NE(player_message_pointer(&got, 8), nullptr);
    EXPECT_STREQ(static_cast<const char*>(player_message_pointer(&got, 4)), "");
    EXPECT_STREQ(static_cast<const char*>(player_message_pointer(&got, 8)), "");

    player_message eq = make(command_set_codec_equalizer);
    ASSERT_EQ(writer->post(eq), 0);
    ASSERT_EQ(receive(got), 1);
    EXPECT_EQ(player_message_pointer(&got, 4), nullptr);
}

TEST_F(PipeChannel, LongStringsArriveCutTo8191Bytes)
{
    std::string long_text(9000, 'x');
    long_text[8190] = 'y';
    player_message m = make(command_input_open);
    player_message_set_pointer(&m, 4, long_text.c_str());
    ASSERT_EQ(writer->post(m), 0);
    player_message got;
    ASSERT_EQ(receive(got), 1);
    std::string text = static_cast<const char*>(player_message_pointer(&got, 4));
    EXPECT_EQ(text.size(), 8191u);
    EXPECT_EQ(text.back(), 'y');

    std::string exact(8191, 'z');
    player_message_set_pointer(&m, 4, exact.c_str());
    ASSERT_EQ(writer->post(m), 0);
    ASSERT_EQ(receive(got), 1);
    EXPECT_EQ(std::string(static_cast<const char*>(player_message_pointer(&got, 4))), exact);
}

TEST_F(PipeChannel, TheLargestFrameFillsTheReceiveQueueExactly)
{
    // code, n, 's' + 2 bytes, 'B' + 4 bytes: 13 bytes around the block.
    std::vector<uint8_t> block(receive_queue_size - 13);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i * 13);
    player_message m = make(command_output_send_message);
    player_message_set_half(&m, 4, 9);
    player_message_set_word(&m, 12, static_cast<uint32_t>(block.size()));
    player_message_set_pointer(&m, 8, block.data());
    ASSERT_EQ(writer->post(m), 0);
    ASSERT_EQ(writer->post(m), 0); // a second one, right behind
    for (int i = 0; i < 2; ++i) {
        player_message got;
        ASSERT_EQ(receive(got), 1);
        ASSERT_EQ(player_message_word(&got, 12), block.size());
        auto data = static_cast<const uint8_t*>(player_message_pointer(&got, 8));
        EXPECT_EQ(std::vector<uint8_t>(data, data + block.size()), block);
    }
}

TEST_F(PipeChannel, FramesLargerThanTheQueueAreRefusedBySender)
{
    std::vector<uint8_t> block(receive_queue_size - 12);
    player_message m = make(command_output_send_message);
    player_message_set_word(&m, 12, static_cast<uint32_t>(block.size()));
    player_message_set_pointer(&m, 8, block.data());
    EXPECT_EQ(writer->post(m), error_circular_queue_full);

    // A size far beyond the data is refused before the data is read.
    player_message_set_word(&m, 12, 0xffffffffu);
    EXPECT_EQ(writer->post(m), error_circular_queue_full);

    // Two strings at their longest make a frame 11 bytes too long.
    std::string longest(8191, 'n');
    player_message env = make(command_set_environment_string);
    player_message_set_pointer(&env, 4, longest.c_str());
    player_message_set_pointer(&env, 8, longest.c_str());
    EXPECT_EQ(writer->post(env), error_circular_queue_full);

    // Nothing reached the pipe.
    player_message got;
    EXPECT_EQ(receive(got, 0), error_timeout);
}

TEST_F(PipeChannel, InvalidCodesAndListsAreRefused)
{
    for (int code : {0, 53, 68, 160, 200}) {
        player_message m = make(code);
        EXPECT_EQ(writer->post(m), error_invalid_message) << code;
    }
    player_property bad{"x", 7, {}};
    player_message props = make(notify_stream_properties);
    player_message_set_word(&props, 4, 1);
    player_message_set_pointer(&props, 8, &bad);
    EXPECT_EQ(writer->post(props), error_invalid_message);
    player_message_set_pointer(&props, 8, nullptr);
    EXPECT_EQ(writer->post(props), error_invalid_message);
    player_message got;
    EXPECT_EQ(receive(got, 0), error_timeout);

    // An empty list travels as a count of 0 and no entries.
    player_message_set_word(&props, 4, 0);
    ASSERT_EQ(writer->post(props), 0);
    ASSERT_EQ(receive(got), 1);
    EXPECT_EQ(player_message_word(&got, 4), 0u);
    EXPECT_EQ(player_message_pointer(&got, 8), nullptr);
}

std::vector<uint8_t> ping_frame(uint32_t tag)
{
    player_message m = make(command_ping);
    player_message_set_word(&m, 4, tag);
    std::vector<uint8_t> bytes;
    encode_frame(m, bytes);
    return bytes;
}

TEST_F(PipeChannel, AFrameTooLongForTheQueueIsSkippedNotWaitedFor)
{
    // A header announcing 100000 bytes, those bytes, then a good frame. The
    // writer needs the reader to keep reading, so it runs beside it.
    std::vector<uint8_t> bytes = {3, 0x00, 0x01, 0x86, 0x9f}; // n = 99999
    bytes.resize(100000, 0xee);
    std::vector<uint8_t> good = ping_frame(77);
    bytes.insert(bytes.end(), good.begin(), good.end());
    std::thread sender([&] { write_all(writer->fd(), bytes.data(), bytes.size(), true, nullptr); });
    player_message got;
    EXPECT_EQ(receive(got), error_invalid_message);
    EXPECT_EQ(receive(got), 1);
    sender.join();
    EXPECT_EQ(got.code, static_cast<uint32_t>(command_ping));
    EXPECT_EQ(player_message_word(&got, 4), 77u);
}

TEST_F(PipeChannel, MalformedFramesAreRefusedAndTheNextOneArrives)
{
    // A frame of code and fields, with its length filled in.
    auto frame = [](uint8_t code, std::vector<uint8_t> fields) {
        uint32_t n = static_cast<uint32_t>(fields.size() + 4);
        std::vector<uint8_t> bytes = {code, uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
        bytes.insert(bytes.end(), fields.begin(), fields.end());
        return bytes;
    };
    std::vector<std::vector<uint8_t>> bad = {
        frame(3, {'s', 1, 2, 3, 4}),                                // wrong tag
        frame(3, {'l', 1, 2, 3, 4, 5}),                             // bytes after the last field
        frame(3, {'l', 1, 2}),                                      // a field cut short
        frame(83, {'c', 0, 2, 'a', 'b'}),                           // string without its NUL
        frame(83, {'c', 0, 9, 'a', 0}),                             // string longer than the frame
        frame(83, {'c', 0, 0}),                                     // string length 0: not even a NUL
        frame(53, {}),                                              // not a message
        {3, 0, 0, 0, 2},                                            // n shorter than the header
        frame(65, {'B', 0, 0, 0, 3, 1, 2, 3}),                      // an equalizer of 3 bands
        frame(113, {'p', 0, 0, 0, 1, 9, 0, 2, 'x', 0, 0, 0, 0, 1}), // property of type 9
        frame(113, {'p', 0xff, 0xff, 0xff, 0xff}),                  // a count no frame can hold
        frame(135, {'l', 0, 0, 0,   0, 'l', 0,   0, 0, 0, 'l', 0, 0, 0, 0,
                    's', 0, 2, 's', 0, 2,   'B', 0, 0, 0, 3,   1, 2, 3}), // 3 bytes of PCM for 2 x 2 samples
    };
    for (const std::vector<uint8_t>& frame : bad) {
        write_raw(frame);
        write_raw(ping_frame(5));
        player_message got;
        EXPECT_EQ(receive(got), error_invalid_message);
        ASSERT_EQ(receive(got), 1);
        EXPECT_EQ(player_message_word(&got, 4), 5u);
    }
}

TEST_F(PipeChannel, AWriterThatHasGoneIsAnError)
{
    writer->close();
    player_message got;
    EXPECT_EQ(receive(got), error_pipe_closed);

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    frame_writer orphan(fds[1], true);
    // SIGPIPE keeps its default disposition here: the write must not kill us.
    EXPECT_EQ(orphan.post(make(command_play)), error_pipe_write_failed);
}

} // namespace
