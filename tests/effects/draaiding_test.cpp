#include "draaiding.h"
#include "effect_fixture.h"

#include <cmath>

namespace {

struct Point {
    float x, y, z;
};

Point vertexOf(const TexturedMesh& mesh, int k)
{
    return {mesh.vertices[3 * k], mesh.vertices[3 * k + 1], mesh.vertices[3 * k + 2]};
}

float distance(Point a, Point b)
{
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

void expectWellFormed(const TexturedMesh& mesh, int vertices, int triangles)
{
    EXPECT_EQ(mesh.vertexCount(), vertices);
    EXPECT_EQ(mesh.triangleCount(), triangles);
    EXPECT_EQ(mesh.texCoords.size(), 2u * vertices);
    EXPECT_EQ(mesh.normals.size(), 3u * triangles);
    for (uint32_t index : mesh.indices)
        ASSERT_LT(index, static_cast<uint32_t>(vertices));
    // The normal array is read by vertex number: every normal read is a unit vector.
    for (int k = 0; k < vertices; ++k) {
        const float* n = &mesh.normals[3 * k];
        ASSERT_NEAR(std::hypot(n[0], n[1], n[2]), 1, 1e-5) << "vertex " << k;
    }
}

TEST(DraaidingMeshes, TorusHasItsCountsSeamsAndTubeRadius)
{
    for (float radius : {48.0f, 28.0f}) {
        TexturedMesh torus = buildTorus(8, radius, 64, 36);
        expectWellFormed(torus, 2405, 4608);
        EXPECT_EQ(torus.indices.size(), 13824u);
        for (int i = 0; i <= 64; ++i) {
            // Side 36 repeats side 0 of its ring; its texture closes at t = 1.
            Point first = vertexOf(torus, 37 * i), last = vertexOf(torus, 36 + 37 * i);
            EXPECT_LT(distance(first, last), 1e-4f) << "ring " << i;
            EXPECT_FLOAT_EQ(torus.texCoords[2 * (36 + 37 * i) + 1], 1);
        }
        // Ring 64 lies on ring 0 up to the rounding of 2 pi to single precision.
        for (int j = 0; j <= 36; ++j) {
            EXPECT_LT(distance(vertexOf(torus, j), vertexOf(torus, j + 64 * 37)), 1e-4f) << "side " << j;
            EXPECT_FLOAT_EQ(torus.texCoords[2 * (j + 64 * 37)], 1);
        }
        for (int k = 0; k < torus.vertexCount(); ++k) {
            Point p = vertexOf(torus, k);
            ASSERT_NEAR(std::hypot(std::hypot(p.x, p.y) - radius, p.z), 8, 1e-3) << k;
        }
    }
}

TEST(DraaidingMeshes, HorseshoeIsAHalfTubeWithPointedEnds)
{
    TexturedMesh shoe = buildHorseshoe(8, 68, 32, 32);
    expectWellFormed(shoe, 1155, 2176);
    EXPECT_EQ(shoe.indices.size(), 6528u);
    const float l = std::sqrt(32.0f * 32 + 68 * 68);
    for (int ring : {0, 34}) {
        Point tip = vertexOf(shoe, 33 * ring);
        EXPECT_NEAR(std::hypot(tip.x, tip.y), l, 1e-3);
        EXPECT_EQ(tip.z, 0);
        for (int j = 1; j <= 32; ++j)
            EXPECT_EQ(distance(tip, vertexOf(shoe, j + 33 * ring)), 0) << "ring " << ring << " side " << j;
    }
    // Between the tips: the upper half of a tube of radius 8 about the circle of radius 68.
    for (int k = 33; k < 33 * 34; ++k) {
        Point p = vertexOf(shoe, k);
        ASSERT_GE(p.z, 0);
        ASSERT_NEAR(std::hypot(std::hypot(p.x, p.y) - 68, p.z), 8, 1e-3) << k;
    }
    // The tips lie about 230 degrees apart round the z axis.
    Point start = vertexOf(shoe, 0), end = vertexOf(shoe, 33 * 34);
    double sweep = std::atan2(-end.y, end.x) - std::atan2(-start.y, start.x);
    EXPECT_NEAR(sweep * 180 / 3.14159265, 230.4, 0.5);
}

class DraaidingTest : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        loadImages({{"bobel1.png", {255, 255, 255}}});
    }
    Draaiding effect{"draaiding"};
};

TEST_F(DraaidingTest, TravelsFromLowerRightToUpperLeft)
{
    // It starts and ends with its centre off the screen (the view reaches
    // about 110 units sideways and 83 up and down at the origin's depth).
    const float expected[5][3] = {{0, 140, -95}, {0.3f, 56, -38}, {0.5f, 0, 0}, {0.7f, -56, 38}, {1, -140, 95}};
    for (const auto& [progress, x, y] : expected) {
        float cx, cy;
        Draaiding::centre(progress, cx, cy);
        EXPECT_NEAR(cx, x, 1e-4);
        EXPECT_NEAR(cy, y, 1e-4);
    }
    // The lit ball of radius 16 sits at the centre; the mirrored place is empty.
    for (float progress : {0.3f, 0.7f}) {
        float x, y;
        Draaiding::centre(progress, x, y);
        resetFrame();
        effect.draw(0, progress, 0);
        EXPECT_GT(brightness(readPixel(project(x, y, 0))), 120) << "progress " << progress;
        EXPECT_EQ(brightness(readPixel(project(-x, -y, 0))), 0) << "progress " << progress;
    }
}

TEST_F(DraaidingTest, UnturnedAtTimeZeroTheGapBetweenTheToriStaysDark)
{
    effect.draw(0, 0.5f, 0);
    // Both tori lie in the screen plane: the inner one spans radius 20 to 36,
    // the outer one 40 to 56, the horseshoe 60 to 76.
    EXPECT_EQ(brightness(readPixel(project(-38, 0, 0))), 0);
    EXPECT_GT(brightness(readPixel(project(-28, 0, 0))), 60);
    EXPECT_GT(brightness(readPixel(project(-48, 0, 0))), 60);
}

TEST_F(DraaidingTest, StateAfterDrawIsAllOff)
{
    effect.draw(2500, 0.3f, 0);
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_CULL_FACE, GL_COLOR_MATERIAL})
        EXPECT_FALSE(isEnabled(cap)) << std::hex << cap;
    expectBlendOffAndReset();
    expectClientArraysOff();
    expectMatricesRestored();
}

} // namespace
