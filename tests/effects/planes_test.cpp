#include "effect_fixture.h"
#include "planes.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

TEST(PlanesBuildUp, OutlinesFirstThenFilling)
{
    auto counts = [](int t) {
        Planes::BuildUp b = Planes::buildUp(t);
        return std::array{b.outlines, b.filled};
    };
    EXPECT_EQ(counts(0), (std::array{0, 0}));
    EXPECT_EQ(counts(1), (std::array{0, 0}));
    EXPECT_EQ(counts(2500), (std::array{224, 0}));
    EXPECT_EQ(counts(4999), (std::array{448, 0}));
    // The last triangle of the order never gets an outline.
    EXPECT_EQ(counts(5000), (std::array{449, 0}));
    EXPECT_EQ(counts(7500), (std::array{449, 225}));
    EXPECT_EQ(counts(9999), (std::array{449, 449}));
}

// The swing's angle at the last float below g and at g.
std::array<float, 2> aroundBound(float g)
{
    return {Planes::swing(std::nextafter(g, 0.0f), 20000).angle, Planes::swing(g, 20000).angle};
}

TEST(PlanesSwing, RowsChainWithoutJumps)
{
    for (float bound : {0.14f, 0.2f, 0.36f, 0.41f, 0.5f, 0.55f, 0.65f, 0.7f, 0.85f}) {
        auto [before, after] = aroundBound(bound);
        // At most the one whole degree that truncation may still owe.
        EXPECT_NEAR(before, after, 1.0001f) << bound;
    }
    EXPECT_NEAR(Planes::swing(0.14f, 0).angle, 252.4413f, 1e-4);
    EXPECT_NEAR(Planes::swing(0.36f, 0).angle, -125.558705f, 1e-4);
    EXPECT_NEAR(Planes::swing(0.85f, 0).angle, 392.441295f, 1e-4);
    // Mid-row values: 252.441295 - int(450 sin 0.5) and int(500 sin 0.5) - 27.558705.
    EXPECT_NEAR(Planes::swing(0.28f, 0).angle, 37.441295f, 1e-3);
    EXPECT_NEAR(Planes::swing(0.775f, 0).angle, 211.441295f, 1e-3);
    EXPECT_NEAR(Planes::swing(1.0f, 0).angle, 266.441295f, 1e-3);
}

TEST(PlanesSwing, LaterRowsTurnInWholeDegrees)
{
    for (float g = 0.2f; g < 1.0f; g += 0.0037f) {
        double fraction = Planes::swing(g, 0).angle - 0.441295;
        EXPECT_NEAR(fraction, std::round(fraction), 1e-4) << g;
    }
}

TEST(PlanesSwing, TextureSlidesBackThenFollowsTime)
{
    EXPECT_NEAR(Planes::swing(0.0f, 12000).textureShift, -5.6f, 1e-5);
    EXPECT_NEAR(Planes::swing(0.05f, 12000).textureShift, -5.6f * std::sqrt(0.5f), 1e-4);
    EXPECT_NEAR(Planes::swing(std::nextafter(0.1f, 0.0f), 12000).textureShift, 0.0f, 1e-4);
    EXPECT_EQ(Planes::swing(0.0f, 12000).angle, 0.0f);
    EXPECT_NEAR(Planes::swing(0.1f, 35000).textureShift, 100.0f, 1e-4);
    EXPECT_NEAR(Planes::swing(0.6f, 7000).textureShift, 20.0f, 1e-4);
    // An entry of exactly ten seconds reaches the swing with no length left.
    Planes::Swing end = Planes::swing(std::nanf(""), 10000);
    EXPECT_TRUE(std::isfinite(end.angle));
}

class PlanesTest : public EffectTest {
protected:
    void loadPlanes() { loadImages({{"fdplane1.png", {200, 0, 0}}, {"fdplane2.png", {0, 200, 0}}}); }
    Planes planes{"planes"};
};

TEST_F(PlanesTest, BuildOrderHoldsEveryTriangleOnce)
{
    std::multiset<std::array<uint32_t, 3>> grid, shuffled;
    for (int i = 0; i < Planes::triangleCount; ++i) {
        grid.insert({planes.indices[3 * i], planes.indices[3 * i + 1], planes.indices[3 * i + 2]});
        shuffled.insert({planes.buildOrder[3 * i], planes.buildOrder[3 * i + 1], planes.buildOrder[3 * i + 2]});
    }
    EXPECT_EQ(grid, shuffled);
    EXPECT_EQ(grid.size(), std::set(grid.begin(), grid.end()).size());
    EXPECT_FALSE(std::equal(planes.indices, planes.indices + Planes::indexCount, planes.buildOrder));
}

TEST_F(PlanesTest, WholePairStandsEitherSideOfTheCentre)
{
    loadPlanes();
    // The first frame already past ten seconds: g is the progress, and below
    // 0.1 there is no rotation. Grid column 7.5, row 7.5 is (60, 0, 0).
    planes.draw(10000, 0.05f, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    expectPixelNear(readPixel(project(60, 0, 0)), {200, 0, 0});
    expectPixelNear(readPixel(project(-60, 0, 0)), {0, 200, 0});
    EXPECT_FALSE(isLit(readPixel(320, 240)));
    EXPECT_EQ(planes.entryLength, 0.0f); // measured only during the build-up
}

TEST_F(PlanesTest, BuildUpGrowsFromNothingToFilledPlanes)
{
    loadPlanes();
    planes.draw(0, 0, 0);
    EXPECT_EQ(countLitInWindow(), 0);
    EXPECT_EQ(planes.entryLength, 0.0f); // nothing to measure yet
    resetFrame();
    planes.draw(1, 0.00005f, 0);
    EXPECT_EQ(countLitInWindow(), 0);
    // The first frame with a progress measures the entry: 20 seconds, kept
    // from then on.
    EXPECT_FLOAT_EQ(planes.entryLength, 20000.0f);
    EXPECT_FLOAT_EQ(planes.introEnd, 0.5f);
    resetFrame();
    planes.draw(2000, 0.2f, 0);
    EXPECT_FLOAT_EQ(planes.entryLength, 20000.0f);
    int outlines = countLitInWindow();
    resetFrame();
    planes.draw(9999, 0.4f, 0);
    int filled = countLitInWindow();
    EXPECT_GT(outlines, 0);
    EXPECT_GT(filled, 2 * outlines);
}

TEST_F(PlanesTest, TenSecondEntryEndsWithTheLastSwing)
{
    loadPlanes();
    planes.draw(5000, 0.5f, 0);
    EXPECT_FLOAT_EQ(planes.introEnd, 1.0f);
    // Its last frame is the only one past the build-up: the rest of the
    // entry has no length, and the pair stands at the swing's end, faded out.
    resetFrame();
    glBlendFunc(GL_ONE, GL_ONE);
    planes.draw(10000, 1.0f, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(countLitInWindow(), 0);
    EXPECT_EQ(intState(GL_BLEND_DST), GL_ZERO);
}

TEST_F(PlanesTest, StateAfterBuildUpSwingAndFade)
{
    loadPlanes();
    MatrixState before;
    for (auto [t, f] : {std::pair{6000, 0.3f}, std::pair{15000, 0.5f}, std::pair{19000, 0.95f}}) {
        SCOPED_TRACE(t);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        planes.draw(t, f, 0);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        for (GLenum cap : {GL_TEXTURE_2D, GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY, GL_BLEND})
            EXPECT_FALSE(isEnabled(cap)) << cap;
        EXPECT_EQ(MatrixState{}, before);
        GLfloat texture[16];
        glGetFloatv(GL_TEXTURE_MATRIX, texture);
        EXPECT_EQ(texture[12], 0.0f);
    }
    // The blended copies leave the plain blend function.
    EXPECT_EQ(intState(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(intState(GL_BLEND_DST), GL_ZERO);
    EXPECT_NEAR(currentColour()[3], 0.2f, 1e-6);
}

} // namespace
