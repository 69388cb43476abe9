#include "engine_state.h"
#include "gl_context.h"
#include "probe_effect.h"
#include "warm_up.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

// Resets the engine before the fixture's effects register themselves.
struct CleanEngine : ::testing::Test {
    CleanEngine() { resetEngineState(); }
    ~CleanEngine() override { resetEngineState(); }
};

class TimelineTest : public CleanEngine {
protected:
    // One idle step and one display step at demo time t.
    void frame(uint32_t t)
    {
        advanceTimeline(t);
        drawTimeline(t);
    }

    ProbeEffect first{"first"};
    ProbeEffect second{"second"};
};

TEST_F(TimelineTest, LaterOverlappingEntryClipsNothingWhenAppended)
{
    addTimelineEntry("first", 0, 1000, 0, 0);
    addTimelineEntry("second", 500, 2000, 0, 0);
    EXPECT_EQ(layers[0][0].end, 1000u);
    for (uint32_t t = 0; t <= 2000; t += 10)
        frame(t);
    // The second entry takes over at 500, so the first is drawn up to 490.
    ASSERT_FALSE(first.calls.empty());
    EXPECT_EQ(first.calls.back().elapsedMs, 490);
    EXPECT_NEAR(first.calls.back().progress, 0.49f, 1e-6);
    EXPECT_EQ(second.calls.front().elapsedMs, 0);
    EXPECT_EQ(second.calls.back().elapsedMs, 1500);
    EXPECT_FLOAT_EQ(second.calls.back().progress, 1.0f);
}

TEST_F(TimelineTest, EarlierEntryInsertedBeforeIsClippedToTheNextStart)
{
    addTimelineEntry("second", 500, 2000, 0, 0);
    addTimelineEntry("first", 0, 1000, 0, 0);
    EXPECT_EQ(layers[0][0].effect, &first);
    EXPECT_EQ(layers[0][0].end, 500u);
    EXPECT_EQ(layers[0][1].start, 500u);
    EXPECT_EQ(demoEnd, 2000u);
}

TEST_F(TimelineTest, EntryInsertedBetweenClipsItsPredecessor)
{
    addTimelineEntry("first", 0, 1000, 0, 0);
    addTimelineEntry("first", 3000, 4000, 0, 0);
    addTimelineEntry("second", 800, 3500, 0, 0);
    EXPECT_EQ(layers[0][0].end, 800u);
    EXPECT_EQ(layers[0][1].effect, &second);
    EXPECT_EQ(layers[0][1].end, 3000u);
}

TEST_F(TimelineTest, GapDrawsNothing)
{
    addTimelineEntry("first", 0, 1000, 0, 0);
    addTimelineEntry("second", 2000, 3000, 0, 0);
    frame(0);
    frame(1000);
    size_t drawn = first.calls.size();
    frame(1001);
    frame(1999);
    EXPECT_EQ(first.calls.size(), drawn);
    EXPECT_TRUE(second.calls.empty());
    frame(2000);
    EXPECT_EQ(second.calls.size(), 1u);
}

TEST_F(TimelineTest, EmptyLowerLayersAreVisitedAndDrawNothing)
{
    addTimelineEntry("first", 0, 100, 0, 0);
    addTimelineEntry("second", 0, 100, 0, 3);
    EXPECT_EQ(highestLayer, 3);
    frame(50);
    EXPECT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(second.calls.size(), 1u);
}

TEST_F(TimelineTest, CursorsCatchUpOneStepPerFrame)
{
    addTimelineEntry("first", 0, 5000, 0, 0);
    addTimelineEntry("second", 10, 5000, 0, 0);
    addTimelineEntry("first", 20, 5000, 0, 0);
    frame(1000);
    frame(1000);
    frame(1000);
    // Each skipped-over entry is current for exactly one frame.
    ASSERT_EQ(first.calls.size(), 2u);
    EXPECT_EQ(first.calls[0].elapsedMs, 1000);
    EXPECT_EQ(second.calls.size(), 1u);
    EXPECT_EQ(second.calls[0].elapsedMs, 990);
    EXPECT_EQ(first.calls[1].elapsedMs, 980);
}

TEST_F(TimelineTest, ParameterValuesAreSteppedNeverInterpolated)
{
    addTimelineEntry("first", 0, 3000, 2, 0);
    addParameterKey(0.0f, 0, 2);
    addParameterKey(1.0f, 1000, 2);
    frame(0);
    frame(999);
    frame(1000);
    frame(1500);
    ASSERT_EQ(first.calls.size(), 4u);
    EXPECT_EQ(first.calls[0].value, 0.0f);
    EXPECT_EQ(first.calls[1].value, 0.0f);
    EXPECT_EQ(first.calls[2].value, 1.0f);
    EXPECT_EQ(first.calls[3].value, 1.0f);
}

TEST_F(TimelineTest, TrackWithoutKeysGivesZero)
{
    addTimelineEntry("first", 0, 100, 5, 0);
    addParameterKey(3.0f, 0, 0);
    frame(10);
    ASSERT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(first.calls[0].value, 0.0f);
}

TEST_F(TimelineTest, EqualTimesKeepConfigurationOrder)
{
    addParameterKey(1.0f, 100, 0);
    addParameterKey(2.0f, 100, 0);
    addTimelineEntry("first", 100, 500, 0, 0);
    addTimelineEntry("second", 100, 500, 0, 0);
    frame(200);
    frame(300);
    frame(400);
    ASSERT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(first.calls[0].value, 1.0f);
    ASSERT_EQ(second.calls.size(), 2u);
    EXPECT_EQ(second.calls[0].value, 2.0f);
    EXPECT_EQ(second.calls[1].value, 2.0f);
}

TEST_F(TimelineTest, ZeroLengthEntryDrawsOnceWithNotANumber)
{
    addTimelineEntry("first", 100, 100, 0, 0);
    frame(99);
    frame(100);
    frame(101);
    ASSERT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(first.calls[0].elapsedMs, 0);
    EXPECT_TRUE(std::isnan(first.calls[0].progress));
}

TEST_F(TimelineTest, FullLayerAndTrackRefuseWithMessage)
{
    for (int i = 0; i < entriesPerLayer; ++i)
        ASSERT_TRUE(addTimelineEntry("first", i, i + 1, 0, 4));
    for (int i = 0; i < keysPerTrack; ++i)
        ASSERT_TRUE(addParameterKey(1.0f, i, 7));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(addTimelineEntry("first", 9999, 10000, 0, 4));
    EXPECT_FALSE(addParameterKey(2.0f, 9999, 7));
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("layer 4 is full (512 entries)"), std::string::npos);
    EXPECT_NE(out.find("track 7 is full (512 keys)"), std::string::npos);
    EXPECT_EQ(layerLength[4], entriesPerLayer);
    EXPECT_EQ(trackLength[7], keysPerTrack);
    EXPECT_EQ(demoEnd, 512u);
}

TEST_F(TimelineTest, EndOfTimelineIsTheLatestUnclippedEnd)
{
    addTimelineEntry("second", 500, 2000, 0, 0);
    addTimelineEntry("first", 0, 9000, 0, 1);
    EXPECT_EQ(demoEnd, 9000u);
}

// The warm-up draws each entry at two moments clear of its first and last
// half second, with the value its track holds then; entries of a second or
// less are left for the show itself.
TEST_F(TimelineTest, WarmUpDrawsEachEntryAtTwoMomentsInsideIt)
{
    ensureGlContext();
    ProbeEffect third{"third"};
    addTimelineEntry("second", 3000, 4600, 1, 1);
    addTimelineEntry("first", 1000, 9000, 2, 0);
    addTimelineEntry("third", 200, 1200, 0, 2);
    addParameterKey(1.5f, 0, 1);
    addParameterKey(2.5f, 3800, 1);
    addParameterKey(7.0f, 5000, 2);
    warmUpTimeline();
    EXPECT_TRUE(third.calls.empty());
    // Moments 500 + (length - 1000) (2m + 1) / 4.
    struct Expected {
        const ProbeEffect* probe;
        int elapsedMs[2];
        float value[2];
        uint32_t length;
    };
    // Track 2 turns 7 at 5000, 4000 into the first entry; track 1 turns 2.5
    // at 3800, 800 into the second.
    for (const Expected& e :
         {Expected{&first, {2250, 5750}, {0, 7}, 8000}, Expected{&second, {650, 950}, {1.5f, 2.5f}, 1600}}) {
        ASSERT_EQ(e.probe->calls.size(), 2u);
        for (int m = 0; m < 2; ++m) {
            const DrawCall& call = e.probe->calls[m];
            EXPECT_EQ(call.elapsedMs, e.elapsedMs[m]) << m;
            EXPECT_FLOAT_EQ(call.progress, static_cast<float>(call.elapsedMs) / static_cast<float>(e.length));
            EXPECT_EQ(call.value, e.value[m]) << m;
        }
    }
}

} // namespace
