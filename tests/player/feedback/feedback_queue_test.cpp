// The feedback side's event queue and the PCM block of a feedback event.
#include "feedback/feedback_queue.h"
#include "decoder/pcm_reduction.h"

#include <gtest/gtest.h>

using namespace melvox;

namespace {

std::vector<uint32_t> tags(const feedback_queue& q)
{
    std::vector<uint32_t> out;
    for (const queued_event& e : q.events())
        out.push_back(e.user[0]);
    return out;
}

void add(feedback_queue& q, int64_t time, uint32_t tag)
{
    q.insert(time).user[0] = tag;
}

TEST(FeedbackQueue, EventsAreKeptInTimeOrderNewOnesBeforeEqualTimes)
{
    feedback_queue q;
    add(q, 500, 1);
    add(q, 300, 2);
    add(q, 800, 3);
    add(q, 300, 4);
    add(q, 500, 5);
    EXPECT_EQ(tags(q), (std::vector<uint32_t>{4, 2, 5, 1, 3}));
    EXPECT_EQ(q.earliest().time_us, 300);
    q.drop_earliest();
    EXPECT_EQ(q.earliest().user[0], 2u);
    q.shift(1000);
    EXPECT_EQ(q.earliest().time_us, 1300);
    q.clear();
    EXPECT_TRUE(q.empty());
    // Cleared records come back for new events.
    add(q, 1, 6);
    EXPECT_EQ(tags(q), (std::vector<uint32_t>{6}));
}

TEST(FeedbackQueue, AFullQueueDropsItsEarliestEventFirst)
{
    feedback_queue q;
    for (uint32_t i = 1; i <= 200; ++i)
        add(q, i * 10, i);
    EXPECT_EQ(q.size(), 200u);
    add(q, 5000, 201);
    EXPECT_EQ(q.size(), 200u);
    EXPECT_EQ(q.earliest().user[0], 2u);
    EXPECT_EQ(q.events().back().user[0], 201u);
    // Even an event earlier than all of them makes room by dropping the earliest.
    add(q, 0, 202);
    EXPECT_EQ(q.size(), 200u);
    EXPECT_EQ(tags(q)[0], 202u);
    EXPECT_EQ(tags(q)[1], 3u);
}

TEST(PcmReduction, TheFirst256SamplesOfEachChannelBecomeSignedBytes)
{
    const int16_t frame[] = {-32768, -255, 255, 32767, -1, 256, -257, 511};
    auto block = reduce_pcm(frame, 4, 2);
    ASSERT_EQ(block.size(), 512u);
    EXPECT_EQ(std::vector<int8_t>(block.begin(), block.begin() + 4), (std::vector<int8_t>{-128, 0, 0, -1}));
    EXPECT_EQ(std::vector<int8_t>(block.begin() + 256, block.begin() + 260), (std::vector<int8_t>{0, 127, 1, 1}));
    // A short frame is completed with silence.
    for (size_t i = 4; i < 256; ++i) {
        ASSERT_EQ(block[i], 0);
        ASSERT_EQ(block[256 + i], 0);
    }
    std::vector<int16_t> longMono(1152);
    for (size_t i = 0; i < longMono.size(); ++i)
        longMono[i] = static_cast<int16_t>(i * 100);
    auto mono = reduce_pcm(longMono.data(), 1152, 1);
    ASSERT_EQ(mono.size(), 256u);
    EXPECT_EQ(mono[255], static_cast<int8_t>(25500 / 256));
}

} // namespace
