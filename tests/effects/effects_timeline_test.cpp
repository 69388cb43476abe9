// The eight effects from Cone to Papier run through the engine's own timeline,
// one after another and all at once, as the demo's frame loop runs them: each
// shows in its interval and leaves the state the next one expects.
#include "all_effects.h"
#include "effect_fixture.h"
#include "morph.h"
#include "planes.h"
#include "puntjes.h"
#include "text.h"
#include "timeline.h"
#include "warm_up.h"

#include <cstdlib>
#include <memory>

#include <string>
#include <vector>

namespace {

struct Scheduled {
    const char* name;
    uint32_t track;
};

// Track 0 is empty (value 0); tracks 1 and 2 hold 1.0 and 2.0.
const std::vector<Scheduled> schedule = {
    {"cone", 0},      {"cone", 2},   {"decompose", 0}, {"disks", 0},  {"disks", 1},
    {"draaiding", 0}, {"jordan", 0}, {"morph", 0},     {"nookie", 0}, {"papier", 0},
};

class EffectsTimelineTest : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        createAllEffects();
        loadImages({{"bobel1.png", {255, 200, 150}},
                    {"bobel2.png", {255, 255, 255}},
                    {"bubble2.png", {255, 255, 255}},
                    {"cone1.png", {200, 255, 200}},
                    {"owns.png", {100, 150, 250}},
                    {"OrB-jordan.png", {255, 255, 255}},
                    {"star1.png", {255, 255, 200}},
                    {"tx_grp01.png", {255, 255, 255}}});
        addParameterKey(1.0f, 0, 1);
        addParameterKey(2.0f, 0, 2);
    }
    void TearDown() override
    {
        deleteAllEffects();
        EffectTest::TearDown();
    }
    // The demo's display step: clear, draw every live layer.
    static void frame(uint32_t t)
    {
        advanceTimeline(t);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawTimeline(t);
    }
};

TEST_F(EffectsTimelineTest, RegistryOrderRunsFromBobelToPapier)
{
    const char* order[] = {"bobel",     "bubble", "cone",  "decompose", "disks",
                           "draaiding", "jordan", "morph", "nookie",    "papier"};
    ASSERT_GE(effectRegistry.count, 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(effectRegistry.names[i], order[i]);
}

TEST_F(EffectsTimelineTest, EachEffectShowsInItsIntervalOneAfterAnother)
{
    const uint32_t length = 2000;
    for (size_t i = 0; i < schedule.size(); ++i)
        ASSERT_TRUE(addTimelineEntry(schedule[i].name, i * length, (i + 1) * length - 1, schedule[i].track, 0));
    std::vector<int> litAtMiddle(schedule.size(), -1);
    for (uint32_t t = 0; t < schedule.size() * length; t += 100) {
        frame(t);
        SCOPED_TRACE(t);
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        ASSERT_EQ(intState(GL_MATRIX_MODE), GL_MODELVIEW);
        ASSERT_EQ(intState(GL_MODELVIEW_STACK_DEPTH), 1);
        ASSERT_EQ(intState(GL_TEXTURE_STACK_DEPTH), 1);
        if (t % length == length / 2)
            litAtMiddle[t / length] = countLitInWindow();
    }
    for (size_t i = 0; i < schedule.size(); ++i)
        EXPECT_GT(litAtMiddle[i], 500) << schedule[i].name << " on track " << schedule[i].track;
}

TEST_F(EffectsTimelineTest, AllAtOnceOnTheirOwnLayers)
{
    for (size_t i = 0; i < schedule.size(); ++i)
        ASSERT_TRUE(addTimelineEntry(schedule[i].name, 0, 10000, schedule[i].track, i));
    for (uint32_t t = 0; t < 10000; t += 1250) {
        frame(t);
        SCOPED_TRACE(t);
        EXPECT_GT(countLitInWindow(), 1000);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        for (GLenum cap : {GL_LIGHTING, GL_BLEND, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_CULL_FACE})
            EXPECT_FALSE(isEnabled(cap)) << std::hex << cap;
        expectClientArraysOff();
        expectMatricesRestored();
    }
}

// The warm-up before the show draws every entry but leaves no trace: the
// window is black, the state is as it was, and the flickering label, which
// draws random numbers near its entry's edges, has drawn none.
TEST_F(EffectsTimelineTest, WarmUpLeavesNoTrace)
{
    for (size_t i = 0; i < schedule.size(); ++i)
        ASSERT_TRUE(addTimelineEntry(schedule[i].name, 0, 10000, schedule[i].track, i));
    addParameterKey(503000.05f, 0, 3); // label 0, flickering
    ASSERT_TRUE(addTimelineEntry("text", 2000, 3500, 3, 12));
    glColor4f(0.3f, 0.4f, 0.5f, 0.6f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    MatrixState matrices;
    std::srand(7);
    int next = std::rand();
    std::srand(7);
    warmUpTimeline();
    EXPECT_EQ(std::rand(), next);
    EXPECT_EQ(countLitInWindow(), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    expectColour({0.3f, 0.4f, 0.5f, 0.6f});
    EXPECT_EQ(texEnvMode(), GL_DECAL);
    EXPECT_EQ(intState(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(intState(GL_BLEND_DST), GL_ONE);
    for (GLenum cap : {GL_LIGHTING, GL_BLEND, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_CULL_FACE, GL_SCISSOR_TEST})
        EXPECT_FALSE(isEnabled(cap)) << std::hex << cap;
    expectClientArraysOff();
    EXPECT_TRUE(MatrixState{} == matrices);
}

// The effects whose drawing carries state from frame to frame draw the same
// show after a warm-up as without one: the points' grown size, the measured
// length (the warm-up meets the later entry first) and the normals that a
// phase keeps are as if it had not been, and so is the flicker's random draw.
TEST(WarmUp, StatefulEffectsDrawTheSameShowAfterIt)
{
    ensureGlContext();
    TempDir dir;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    auto show = [](bool warmUp) {
        // Both shows start from the same OpenGL state.
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        resetEngineState();
        std::vector<std::unique_ptr<Effect>> effects;
        std::srand(1);
        effects.emplace_back(new Morph("morph"));
        effects.emplace_back(new Puntjes("puntjes"));
        effects.emplace_back(new Planes("planes"));
        effects.emplace_back(new Text("text"));
        for (const char* name : {"star1.png", "thegimp.png", "fdplane1.png", "fdplane2.png", "tx_grp01.png"}) {
            EXPECT_TRUE(writeSolidRgbPng(name, 4, 4, 200, 150, 100));
            ImageRecord& record = images[imageCount++];
            record.name = name;
            record.target = GL_TEXTURE_2D;
            record.texParameters[record.texParameterCount++] = {GL_TEXTURE_MIN_FILTER, GL_NEAREST};
        }
        loadTextures();
        for (auto& effect : effects)
            effect->resolveTextures();
        addParameterKey(503000.05f, 0, 1); // label 0, flickering
        addTimelineEntry("planes", 20000, 30000, 0, 0);
        addTimelineEntry("planes", 0, 12000, 0, 1);
        addTimelineEntry("morph", 0, 8000, 0, 2);
        addTimelineEntry("puntjes", 0, 8000, 0, 3);
        addTimelineEntry("text", 4500, 6000, 1, 4);
        addTimelineEntry("text", 6000, 7500, 1, 4);
        if (warmUp)
            warmUpTimeline();
        // Morph is first drawn in its fifth phase, which keeps the normals it finds.
        std::vector<std::vector<unsigned char>> frames;
        for (uint32_t t = 4500; t <= 12000; t += 300) {
            resetFrame();
            advanceTimeline(t);
            drawTimeline(t);
            frames.push_back(readPixels(0, 0, testWindowWidth, testWindowHeight));
        }
        glPopAttrib();
        return frames;
    };
    std::vector<std::vector<unsigned char>> plain = show(false), warmed = show(true);
    ASSERT_EQ(plain.size(), warmed.size());
    for (size_t i = 0; i < plain.size(); ++i)
        EXPECT_TRUE(plain[i] == warmed[i]) << "frame at " << 4500 + 300 * i << " ms";
    resetEngineState();
    std::filesystem::current_path(previous);
}

} // namespace
