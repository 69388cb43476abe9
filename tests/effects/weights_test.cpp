#include "effect_fixture.h"
#include "weights.h"

#include <cmath>
#include <limits>

namespace {

void expectPlace(const Weights::Pose& pose, int leg, float x, float y, float z, float tolerance = 1e-3f)
{
    EXPECT_EQ(pose.leg, leg);
    EXPECT_NEAR(pose.pos[0], x, tolerance);
    EXPECT_NEAR(pose.pos[1], y, tolerance);
    EXPECT_NEAR(pose.pos[2], z, tolerance);
}

float justBelow(float bound)
{
    return std::nextafter(bound, 0.0f);
}

TEST(WeightsPath, LegsBeginAtTheirLowerBounds)
{
    expectPlace(Weights::poseAt(0.0f), 1, 0, -120, -150);
    // Legs meet closely but not exactly.
    expectPlace(Weights::poseAt(justBelow(0.1f)), 1, 0, 30, 150, 1e-2f);
    expectPlace(Weights::poseAt(0.1f), 2, 0, 50, 150);
    expectPlace(Weights::poseAt(0.2f), 3, 0, 50, -150);
    expectPlace(Weights::poseAt(justBelow(0.4f)), 3, 0, -50, 150, 1e-2f);
    expectPlace(Weights::poseAt(0.4f), 4, 150, -50, 0);
    expectPlace(Weights::poseAt(0.6f), 5, -50, 50, 0);
    expectPlace(Weights::poseAt(justBelow(0.7f)), 5, 62.5f, -50, 0, 1e-2f);
    expectPlace(Weights::poseAt(0.7f), 6, 75, -50, 0);
    expectPlace(Weights::poseAt(0.8f), 7, 25, 50, 0);
    // Leg 7 runs backwards to h = -0.6 (where sin and cos of -2.4 pi give the place).
    expectPlace(Weights::poseAt(justBelow(0.92f)), 7, static_cast<float>(50 * std::sin(-2.4 * M_PI) + 25),
                static_cast<float>(50 * std::cos(-2.4 * M_PI)), -90, 1e-2f);
}

TEST(WeightsPath, TurnsFollowTheLegs)
{
    EXPECT_NEAR(Weights::poseAt(0.05f).yaw, 360, 1e-3);
    EXPECT_EQ(Weights::poseAt(0.15f).yaw, 0);
    EXPECT_NEAR(Weights::poseAt(0.3f).rollZ, 360, 1e-3);
    EXPECT_NEAR(Weights::poseAt(0.5f).rollZ, 270, 1e-3);
    EXPECT_NEAR(Weights::poseAt(0.65f).rollZ, 90, 1e-3);
    EXPECT_NEAR(Weights::poseAt(0.75f).rollZ, -90, 1e-3);
    EXPECT_EQ(Weights::poseAt(0.85f).rollZ, 0);
    for (float g : {-0.05f, 0.0f, 0.33f, 0.77f, 0.9f})
        EXPECT_EQ(Weights::poseAt(g).pitch, 0);
}

TEST(WeightsPath, CopiesWaitBehindTheStartAndVanishAtTheEnd)
{
    // Before setting off a copy lies on leg 1 extended backwards.
    expectPlace(Weights::poseAt(-0.075f), 1, 0, -232.5f, -375);
    EXPECT_EQ(Weights::poseAt(0.92f).leg, 0);
    EXPECT_EQ(Weights::poseAt(0.93f).leg, 0);
    EXPECT_EQ(Weights::poseAt(std::numeric_limits<float>::quiet_NaN()).leg, 0);
    // At f = 0.93 the last copy is at 0.855, on leg 7.
    EXPECT_EQ(Weights::poseAt(0.93f - 15 * Weights::copySpacing).leg, 7);
}

class WeightsTest : public EffectTest {
protected:
    void loadTextures() { loadImages({{"bobel1.png", {255, 255, 255}}, {"bobel2.png", {255, 255, 255}}}); }
    Weights weights{"weights"};
};

TEST_F(WeightsTest, LeaderIsDrawnWhereThePathSays)
{
    loadTextures();
    for (float f : {0.0f, 0.15f, 0.5f, 0.62f, 0.75f, 0.85f}) {
        SCOPED_TRACE(f);
        resetFrame();
        glColor3f(0, 0.8f, 0.4f);
        weights.draw(0, f, 0);
        Weights::Pose pose = Weights::poseAt(f);
        auto at = project(pose.pos[0], pose.pos[1], pose.pos[2]);
        expectPixelNear(readPixel(at), {0, 204, 102}, 2);
    }
}

TEST_F(WeightsTest, NothingIsLeftAtTheEnd)
{
    loadTextures();
    glColor3f(1, 1, 1);
    weights.draw(0, 0.995f, 0);
    EXPECT_EQ(countLitInWindow(), 0);
    // Just before, the last copy is still there.
    resetFrame();
    weights.draw(0, 0.99f, 0);
    EXPECT_GT(countLitInWindow(), 0);
}

TEST_F(WeightsTest, StateAfterDrawKeepsTheColour)
{
    loadTextures();
    glColor4f(0.25f, 0.5f, 0.75f, 1);
    MatrixState before;
    weights.draw(0, 0.5f, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (GLenum cap : {GL_DEPTH_TEST, GL_POINT_SMOOTH, GL_LINE_SMOOTH, GL_POLYGON_SMOOTH, GL_TEXTURE_2D, GL_CULL_FACE,
                       GL_BLEND, GL_LIGHTING})
        EXPECT_FALSE(isEnabled(cap)) << cap;
    EXPECT_EQ(currentColour(), (std::array<float, 4>{0.25f, 0.5f, 0.75f, 1}));
    EXPECT_EQ(MatrixState{}, before);
}

} // namespace
