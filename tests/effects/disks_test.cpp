#include "disks.h"
#include "effect_fixture.h"

#include <cmath>
#include <limits>

namespace {

class DisksTest : public EffectTest {
protected:
    Disks effect{"disks"};
};

// A handful of states that any look would touch.
struct DrawState {
    bool blend, cull, vertexArray;
    std::array<GLint, 2> blend_func;
    GLint cullMode;
    Rgba colour;
    bool operator==(const DrawState&) const = default;
};

DrawState snapshot()
{
    DrawState s{};
    s.blend = glIsEnabled(GL_BLEND);
    s.cull = glIsEnabled(GL_CULL_FACE);
    s.vertexArray = glIsEnabled(GL_VERTEX_ARRAY);
    glGetIntegerv(GL_BLEND_SRC, &s.blend_func[0]);
    glGetIntegerv(GL_BLEND_DST, &s.blend_func[1]);
    glGetIntegerv(GL_CULL_FACE_MODE, &s.cullMode);
    glGetFloatv(GL_CURRENT_COLOR, s.colour.data());
    return s;
}

TEST_F(DisksTest, DiscIsACentreAndA64SegmentRimOfRadiusEight)
{
    ASSERT_EQ(effect.discVertices.size(), 132u);
    EXPECT_EQ(effect.discVertices[0], 0);
    EXPECT_EQ(effect.discVertices[1], 0);
    EXPECT_FLOAT_EQ(effect.discVertices[2], 8);
    EXPECT_FLOAT_EQ(effect.discVertices[3], 0);
    for (int i = 1; i <= 65; ++i)
        EXPECT_NEAR(std::hypot(effect.discVertices[2 * i], effect.discVertices[2 * i + 1]), 8, 1e-5) << i;
    // The last rim point closes the circle onto the first.
    EXPECT_NEAR(effect.discVertices[130], effect.discVertices[2], 1e-5);
    EXPECT_NEAR(effect.discVertices[131], effect.discVertices[3], 1e-5);
    EXPECT_FLOAT_EQ(effect.ringStep, 0.31415927f);
}

TEST_F(DisksTest, ValueTwoOrMoreDrawsNothingAndChangesNoState)
{
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glCullFace(GL_FRONT);
    glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
    DrawState before = snapshot();
    for (float value : {2.0f, 7.5f, std::numeric_limits<float>::quiet_NaN()}) {
        effect.draw(1234, 0.5f, value);
        EXPECT_TRUE(snapshot() == before) << value;
    }
    EXPECT_EQ(countLitInWindow(), 0);
}

TEST_F(DisksTest, RingLookPlacesTwentyTranslucentYellowDiscs)
{
    effect.draw(0, 0, 0.5f);
    // At time 0 disc 0 sits at (0, 32, 0), facing the viewer: pale yellow at
    // half alpha over black.
    expectPixelNear(readPixel(project(0, 32, 0)), {128, 128, 64});
    expectPixelNear(readPixel(project(0, 0, 0)), {0, 0, 0}, 0);
    // Disc 5 at (32 sin(pi / 2), 32 cos(pi / 2), 64 sin 25).
    expectPixelNear(readPixel(project(32, 0, 64 * std::sin(25.0))), {128, 128, 64});

    expectBlendOffAndReset();
    EXPECT_FALSE(isEnabled(GL_VERTEX_ARRAY));
    expectColour({1, 1, 0.5f, 0.5f});
    expectMatricesRestored();
}

TEST_F(DisksTest, RipplingDiscIsNearlyOpaqueCyanAndObeysTheCullMode)
{
    effect.draw(0, 0, 1.0f);
    // Forty half-transparent layers, the last ones cyan over yellow: the
    // middle of the disc (its fan hub is yellow) shades towards cyan at the rim.
    Rgb rim = readPixel(project(7, 0, 150));
    EXPECT_GT(rim[1], 240);
    EXPECT_GT(rim[2], 200);
    EXPECT_FALSE(isEnabled(GL_CULL_FACE));
    expectBlendOffAndReset();
    EXPECT_EQ(intState(GL_CULL_FACE_MODE), GL_BACK);
    Rgba c = currentColour();
    EXPECT_FLOAT_EQ(c[0], 0.5f);
    EXPECT_FLOAT_EQ(c[1], 1);
    EXPECT_GE(c[2], 1);
    EXPECT_FLOAT_EQ(c[3], 0.5f);
    expectMatricesRestored();

    // With front faces culled the disc shows only once it has turned over
    // (180 degrees after 1.8 s).
    resetFrame();
    glCullFace(GL_FRONT);
    effect.draw(0, 0, 1.5f);
    EXPECT_EQ(countLitInWindow(), 0);
    effect.draw(1800, 0, 1.5f);
    EXPECT_GT(brightness(readPixel({320, 240})), 300);
    EXPECT_EQ(intState(GL_CULL_FACE_MODE), GL_FRONT);
}

TEST_F(DisksTest, RimDepthsStayWithinTheRippleAmplitude)
{
    for (int t = 0; t < 20000; t += 37) {
        for (int j = 1; j <= 65; ++j)
            ASSERT_LE(std::fabs(Disks::rippleDepth(j, static_cast<float>(t))), 3.2f + 1e-6f);
    }
    effect.draw(4321, 0, 1);
    for (int j = 1; j <= 65; ++j)
        EXPECT_EQ(effect.rimDepth[j - 1], Disks::rippleDepth(j, 4321));
}

} // namespace
