#include "cone.h"
#include "effect_fixture.h"

namespace {

class ConeTest : public EffectTest {
protected:
    Cone effect{"cone"};
};

TEST_F(ConeTest, GrowsToFullSizeHalfWayAndBackToAFlatRing)
{
    EXPECT_FLOAT_EQ(Cone::growth(0), 0);
    EXPECT_FLOAT_EQ(Cone::growth(0.25f), 0.5f);
    EXPECT_FLOAT_EQ(Cone::growth(0.5f), 1);
    EXPECT_FLOAT_EQ(Cone::growth(0.75f), 0.5f);
    EXPECT_FLOAT_EQ(Cone::growth(1), 0);

    loadImages({{"cone1.png", {255, 255, 255}}});
    effect.draw(0, 0.5f, 0);
    EXPECT_FLOAT_EQ(effect.height, 20);
    EXPECT_FLOAT_EQ(effect.narrowTop, 20);
    EXPECT_FLOAT_EQ(effect.wideTop, 22);
    EXPECT_FLOAT_EQ(effect.baseRadius, 16);
    effect.draw(0, 1, 0);
    EXPECT_FLOAT_EQ(effect.height, 0);
    EXPECT_FLOAT_EQ(effect.wideTop, 0);
}

TEST_F(ConeTest, StateAfterDrawIsRestoredWithBackFaceCulling)
{
    loadImages({{"cone1.png", {255, 255, 255}}});
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
    effect.draw(500, 0.3f, 0);
    for (GLenum cap : {GL_LINE_SMOOTH, GL_POINT_SMOOTH, GL_POLYGON_SMOOTH, GL_CULL_FACE, GL_TEXTURE_2D})
        EXPECT_FALSE(isEnabled(cap)) << std::hex << cap;
    expectBlendOffAndReset();
    EXPECT_EQ(intState(GL_CULL_FACE_MODE), GL_BACK);
    expectColour({1, 1, 1, 1});
    expectMatricesRestored();
}

TEST_F(ConeTest, OneDimensionalImageIsEnabledAndDisabledAsItsOwnTarget)
{
    loadImages({{"cone1.png", {255, 255, 255}, GL_TEXTURE_1D}});
    effect.draw(500, 0.5f, 0);
    EXPECT_FALSE(isEnabled(GL_TEXTURE_1D));
    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    EXPECT_GT(brightness(readPixel(project(0, -70, 0))), 300);
}

TEST_F(ConeTest, ValueBelowTwoStandsTheFunnelLowTwoOrMoreMovesItLeft)
{
    loadImages({{"cone1.png", {255, 255, 255}}});
    // Full height 20 above the base: the middle of the body is 10 units up.
    effect.draw(0, 0.5f, 1.9f);
    EXPECT_GT(brightness(readPixel(project(0, -70, 0))), 600);
    EXPECT_EQ(brightness(readPixel(project(-13, 10, 0))), 0);

    resetFrame();
    effect.draw(0, 0.5f, 2.0f);
    EXPECT_GT(brightness(readPixel(project(-13, 10, 0))), 600);
    EXPECT_EQ(brightness(readPixel(project(0, -70, 0))), 0);
}

TEST_F(ConeTest, AtTheStartOnlyAFlatDiscShows)
{
    loadImages({{"cone1.png", {255, 255, 255}}});
    effect.draw(0, 0, 0);
    // The disc of radius 16 lies flat at y = -80, seen slightly from above.
    EXPECT_GT(brightness(readPixel(project(0, -80, 0))), 600);
    EXPECT_GT(brightness(readPixel(project(12, -80, -8))), 600);
    EXPECT_EQ(brightness(readPixel(project(0, -72, 0))), 0);
    EXPECT_EQ(brightness(readPixel(project(20, -80, 0))), 0);
}

} // namespace
