#include "effect_fixture.h"
#include "jordan.h"

#include <cmath>

namespace {

class JordanTest : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        loadImages({{"OrB-jordan.png", {255, 255, 255}}});
    }
    Jordan effect{"jordan"};
};

TEST_F(JordanTest, SquareCrossesAlongAnArcTurningOnce)
{
    const float expected[3][3] = {{0, -175, -50}, {0.5f, 0, 30}, {1, 175, -50}};
    for (const auto& [progress, x, y] : expected) {
        float cx, cy;
        Jordan::centre(progress, cx, cy);
        EXPECT_NEAR(cx, x, 1e-4);
        EXPECT_NEAR(cy, y, 1e-4);
    }
    // It enters and leaves entirely off the screen (the view reaches about
    // 110 units to either side at the origin's depth).
    for (float progress : {0.0f, 1.0f}) {
        resetFrame();
        effect.draw(0, progress, 0);
        EXPECT_EQ(countLitInWindow(), 0) << "progress " << progress;
    }
    // On the way the square turns about its vertical centre line (seen from
    // behind at 0.5, since nothing is culled): a point of the square at
    // (d, h) lies at (d cos a, h, -d sin a) about its centre.
    for (float progress : {0.4f, 0.5f, 0.6f}) {
        float x, y;
        Jordan::centre(progress, x, y);
        double a = progress * 2 * 3.14159265;
        auto onPlane = [&](double d, double h) { return project(x + d * std::cos(a), y + h, -d * std::sin(a)); };
        SCOPED_TRACE(progress);
        resetFrame();
        effect.draw(0, progress, 0);
        for (auto inside : {onPlane(0, 0), onPlane(40, 40), onPlane(-40, -40)})
            expectPixelNear(readPixel(inside), {255, 255, 255});
        for (auto outside : {onPlane(55, 0), onPlane(-55, 0), onPlane(0, 55), onPlane(0, -55)})
            expectPixelNear(readPixel(outside), {0, 0, 0}, 0);
    }
}

TEST_F(JordanTest, SquareTakesTheCurrentColourThroughTheTexture)
{
    glColor4f(1, 0, 0, 1);
    effect.draw(0, 0.5f, 0);
    expectPixelNear(readPixel(project(0, 30, 0)), {255, 0, 0});
    // A half-transparent colour blends the square over what lies beneath.
    resetFrame();
    glColor4f(0, 1, 0, 0.5f);
    effect.draw(0, 0.5f, 0);
    expectPixelNear(readPixel(project(0, 30, 0)), {0, 128, 0});
    expectColour({0, 1, 0, 0.5f});
}

TEST_F(JordanTest, TexturingAndBlendingEndOffWhateverTheyWereBefore)
{
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ONE);
    effect.draw(100, 0.25f, 0);
    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    expectBlendOffAndReset();
    expectMatricesRestored();
}

} // namespace
