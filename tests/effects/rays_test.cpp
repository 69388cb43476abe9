#include "effect_fixture.h"
#include "rays.h"

namespace {

class RaysTest : public EffectTest {
protected:
    // Lit pixels in the four halves of the window after one frame.
    struct Halves {
        int below, above, left, right;
    };
    Halves drawAndCount(float value, int elapsedMs = 1234)
    {
        resetFrame();
        rays.draw(elapsedMs, 0.5f, value);
        return {countLit(0, 0, 640, 240), countLit(0, 240, 640, 480), countLit(0, 0, 320, 480),
                countLit(320, 0, 640, 480)};
    }
    Rays rays{"rays"};
};

TEST_F(RaysTest, ParameterPicksTheEdgeByTruncation)
{
    for (int t : {0, 1234, 5000}) {
        Halves bottom = drawAndCount(0.0f, t);
        EXPECT_GT(bottom.below, 0);
        EXPECT_EQ(bottom.above, 0);
        EXPECT_EQ(drawAndCount(-0.5f, t).above, 0); // truncates to 0: the bottom
        Halves top = drawAndCount(1.7f, t);
        EXPECT_EQ(rays.edge, Rays::top);
        EXPECT_GT(top.above, 0);
        EXPECT_EQ(top.below, 0);
        Halves left = drawAndCount(2.0f, t);
        EXPECT_GT(left.left, 0);
        EXPECT_EQ(left.right, 0);
        Halves right = drawAndCount(3.99f, t);
        EXPECT_GT(right.right, 0);
        EXPECT_EQ(right.left, 0);
    }
}

TEST_F(RaysTest, OtherValuesDrawNothingVisible)
{
    for (float value : {4.0f, -1.0f, 1e20f}) {
        Halves none = drawAndCount(value);
        EXPECT_EQ(none.below + none.above, 0) << value;
    }
    EXPECT_EQ(rays.edge, -1);
}

TEST_F(RaysTest, LinesSpanTheBandAndBreathe)
{
    rays.draw(0, 0, 0);
    // x runs from -125 to 125 in 39 steps.
    EXPECT_FLOAT_EQ(rays.linePoints[7][0][0], -125.0f);
    EXPECT_FLOAT_EQ(rays.linePoints[7][39][0], 125.0f);
    // At t = 0 line 0 is 10 sin h twice over, scaled by 2: at h = pi / 2, 40.
    EXPECT_NEAR(rays.linePoints[0][10][1], 40.0f, 1e-4);
    // No line leaves the band of half-width 2.4 * 20.
    for (int t : {0, 777, 3141, 9000}) {
        rays.draw(t, 0, 0);
        for (auto& line : rays.linePoints)
            for (auto& point : line) {
                EXPECT_LE(std::abs(point[1]), 48.0f);
                EXPECT_EQ(point[2], 0.0f);
            }
    }
}

TEST_F(RaysTest, StateAfterDrawLeavesBlackAndTheCamera)
{
    MatrixState before;
    rays.draw(500, 0.2f, 2.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(currentColour(), (std::array<float, 4>{0, 0, 0, 1}));
    EXPECT_FALSE(isEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(isEnabled(GL_BLEND));
    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(MatrixState{}, before);
}

} // namespace
