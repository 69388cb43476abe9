#include "decompose.h"
#include "effect_fixture.h"

#include <cmath>

namespace {

class DecomposeTest : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        loadImages({{"owns.png", {200, 100, 50}}});
    }
    Decompose effect{"decompose"};
};

TEST_F(DecomposeTest, ThreeTintedPassesAddUpToTheImageOverTheWholeScreen)
{
    // Whatever environment the image asked for, each pass is modulated, so
    // it keeps exactly one channel of the picture.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    effect.draw(0, 0, 0);
    for (auto at : {std::array<int, 2>{320, 240}, {0, 0}, {639, 479}, {0, 479}, {639, 0}})
        expectPixelNear(readPixel(at[0], at[1]), {200, 100, 50});
    EXPECT_EQ(texEnvMode(), GL_MODULATE);
}

TEST_F(DecomposeTest, PassesStillAtTimeZeroAndNeverMoreThanTwoUnitsAway)
{
    for (int pass = 0; pass < 3; ++pass) {
        float x, y;
        Decompose::passOffset(pass, 0, x, y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
        for (int t = 1; t < 30000; t += 7) {
            Decompose::passOffset(pass, static_cast<float>(t), x, y);
            ASSERT_LE(std::fabs(x), 2.0f);
            ASSERT_LE(std::fabs(y), 2.0f);
        }
    }
    // A quarter of the blue pass's 1300 ms period: its full swing to the right.
    float x, y;
    Decompose::passOffset(0, 325, x, y);
    EXPECT_FLOAT_EQ(x, 2);
}

TEST_F(DecomposeTest, StateAfterDrawLeavesBlackAndNoBlending)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    effect.draw(777, 0.5f, 0);
    expectColour({0, 0, 0, 1});
    expectBlendOffAndReset();
    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(texEnvMode(), GL_MODULATE);
    expectMatricesRestored();
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(std::fabs(effect.corners[c][0]), 220);
        EXPECT_EQ(std::fabs(effect.corners[c][1]), 165);
    }
}

} // namespace
