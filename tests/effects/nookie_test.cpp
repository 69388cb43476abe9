#include "effect_fixture.h"
#include "nookie.h"

#include <cmath>

namespace {

class NookieTest : public EffectTest {
protected:
    Nookie effect{"nookie"};
};

TEST(NookieEnvelope, RisesOverTwoSecondsAndFallsOverTheLastTwo)
{
    // A 10-second entry: t over progress gives its length back.
    EXPECT_FLOAT_EQ(Nookie::envelope(0, 0), 0);
    EXPECT_FLOAT_EQ(Nookie::envelope(1000, 0.1f), 0.5f);
    EXPECT_FLOAT_EQ(Nookie::envelope(2000, 0.2f), 1);
    EXPECT_FLOAT_EQ(Nookie::envelope(5000, 0.5f), 1);
    EXPECT_NEAR(Nookie::envelope(9000, 0.9f), 0.5f, 1e-4);
    EXPECT_NEAR(Nookie::envelope(10000, 1), 0, 1e-4);
    // A 3-second entry never reaches 1: after two seconds it is already
    // half-way down the fade-out.
    EXPECT_NEAR(Nookie::envelope(1999, 1999.0f / 3000), 0.9995f, 1e-4);
    EXPECT_NEAR(Nookie::envelope(2000, 2000.0f / 3000), 0.5f, 1e-4);
    EXPECT_NEAR(Nookie::envelope(3000, 1), 0, 1e-4);
}

TEST_F(NookieTest, SpiralIsFlatAtTheStartAndStretchesOutLater)
{
    effect.draw(0, 0, 0);
    for (int k = 0; k < Nookie::pointCount; ++k)
        ASSERT_EQ(effect.vertices[3 * k + 2], 0) << k;
    // Once grown, depth climbs steadily through the 108 points.
    effect.buildSpiral(5000, 1);
    for (int k = 1; k < Nookie::pointCount; ++k)
        ASSERT_GT(effect.vertices[3 * k + 2], effect.vertices[3 * k - 1]) << k;
    EXPECT_NEAR(effect.vertices[3 * 107 + 2], (std::sin(5.0) + 10) * (11 + 8.0 / 9), 1e-3);
}

TEST_F(NookieTest, EveryStripVertexHasAUnitNormalFacingTheSameWay)
{
    for (float t : {0.0f, 1500.0f, 5000.0f, 12345.0f}) {
        effect.buildSpiral(t, t < 2000 ? t / 2000 : 1);
        float first = effect.normals[2];
        for (int k = 0; k < Nookie::pointCount; ++k) {
            const float* n = effect.normals + 3 * k;
            ASSERT_NEAR(std::hypot(n[0], n[1], n[2]), 1, 1e-5) << "t " << t << " vertex " << k;
            ASSERT_GT(n[2] * first, 0) << "t " << t << " vertex " << k;
        }
    }
}

TEST_F(NookieTest, FlatRingGlowsAroundADarkMiddle)
{
    effect.draw(0, 0, 0);
    // In eye space the ring lies 85 units ahead, 10 across and 12 up (the
    // band between a point and its next-but-one neighbours is covered).
    EXPECT_GT(brightness(readPixel(project(9.5, 0, -85, true))), 60);
    EXPECT_GT(brightness(readPixel(project(-9.5, 0, -85, true))), 60);
    EXPECT_EQ(brightness(readPixel({320, 240})), 0);
    EXPECT_EQ(brightness(readPixel(project(0, 14, -85, true))), 0);
}

TEST_F(NookieTest, StateAfterDrawLeavesBlackAndCounterClockwiseFronts)
{
    glFrontFace(GL_CW);
    glColor4f(1, 1, 1, 1);
    effect.draw(3000, 0.5f, 0);
    expectColour({0, 0, 0, 1});
    EXPECT_EQ(intState(GL_FRONT_FACE), GL_CCW);
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL})
        EXPECT_FALSE(isEnabled(cap)) << std::hex << cap;
    expectBlendOffAndReset();
    expectClientArraysOff();
    expectMatricesRestored();
}

} // namespace
