#include "effect_fixture.h"
#include "morph.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

// The nothrow array allocations of the whole test program pass through here,
// so that a test can make one of them fail.
namespace {
int failingAllocation = -1; // number of the allocation to refuse; -1: none
int allocationCount = 0;
} // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    if (failingAllocation >= 0 && allocationCount++ == failingAllocation)
        return nullptr;
    // The array form, since the effect frees these with delete[].
    try {
        return ::operator new[](size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

namespace {

constexpr float S = Morph::cell;

class MorphTest : public EffectTest {
protected:
    void SetUp() override
    {
        EffectTest::SetUp();
        loadImages({{"star1.png", {255, 255, 255}}});
    }
    std::vector<uint32_t> indexList() const { return {effect.indices, effect.indices + Morph::indexCount}; }
    // The six indices of quad (row i, column j).
    std::vector<uint32_t> quad(int i, int j) const
    {
        const uint32_t* t = effect.indices + 6 * (j + 32 * i);
        return {t, t + 6};
    }
    static std::vector<uint32_t> openQuad(int i, int j)
    {
        uint32_t v = j + 33 * i;
        return {v, v + 1, v + 33, v + 1, v + 34, v + 33};
    }
    void expectVerticesAre(const float* shape) const
    {
        for (int c = 0; c < 3 * Morph::vertexCount; ++c)
            ASSERT_EQ(effect.vertices[c], shape[c]) << c;
    }
    void expectUnitNormals() const
    {
        for (int k = 0; k < Morph::vertexCount; ++k) {
            const float* n = effect.normals + 3 * k;
            ASSERT_NEAR(std::hypot(n[0], n[1], n[2]), 1, 1e-5) << k;
        }
    }
    Morph effect{"morph"};
};

TEST(MorphPhases, EachBoundaryBelongsToTheLaterPhase)
{
    EXPECT_EQ(Morph::phaseOf(0), 0);
    for (int n = 1; n < 8; ++n) {
        float boundary = static_cast<float>(n) / 8;
        EXPECT_EQ(Morph::phaseOf(boundary), n);
        EXPECT_EQ(Morph::phaseOf(std::nextafter(boundary, 0.0f)), n - 1);
    }
    EXPECT_EQ(Morph::phaseOf(1), 7);
}

TEST(MorphPhases, SpinEasesThroughOneTurnOverPhasesFourToSix)
{
    EXPECT_FLOAT_EQ(Morph::spinAngle(0.49f), 0);
    EXPECT_NEAR(Morph::spinAngle(0.5f), 0, 1e-4);
    EXPECT_NEAR(Morph::spinAngle(0.6875f), 180, 1e-3);
    EXPECT_NEAR(Morph::spinAngle(std::nextafter(0.875f, 0.0f)), 360, 1e-3);
    EXPECT_FLOAT_EQ(Morph::spinAngle(0.875f), 0);
}

TEST_F(MorphTest, FourShapesOfThirtyThreeByThirtyThreeVertices)
{
    const float* plane = effect.planeMesh;
    EXPECT_FLOAT_EQ(plane[0], -250);
    EXPECT_FLOAT_EQ(plane[1], -S);
    EXPECT_FLOAT_EQ(plane[2], -250);
    EXPECT_FLOAT_EQ(plane[3 * 1088], 250);
    EXPECT_FLOAT_EQ(plane[3 * 1088 + 2], 250);
    for (int k = 0; k < Morph::vertexCount; ++k) {
        const float* tube = effect.tubeMesh + 3 * k;
        ASSERT_NEAR(std::hypot(tube[0], tube[1]), S, 1e-4) << k;
        ASSERT_FLOAT_EQ(tube[2], (k / 33 - 16) * S);
        // Both tori lie about the y axis: tube radius S round a circle of 2 S,
        // or, for the wide one, 1.5 times the distance of 1.015 S.
        const float* torus = effect.torusMesh + 3 * k;
        ASSERT_NEAR(std::hypot(std::hypot(torus[0], torus[2]) - 2 * S, torus[1]), S, 1e-4) << k;
        const float* wide = effect.wideTorusMesh + 3 * k;
        float along = std::hypot(wide[0], wide[2]) / 1.5f;
        float theta = (k % 33) * 2 * 3.14159265f / 32;
        ASSERT_NEAR(along, std::fabs(std::sin(theta) + 1.015f) * S, 1e-3) << k;
        ASSERT_NEAR(wide[1], std::cos(theta) * S, 1e-4) << k;
    }
}

TEST_F(MorphTest, EachPhaseShowsItsShapeWithItsSeams)
{
    effect.draw(0, 0, 0);
    EXPECT_EQ(effect.phase, 0);
    expectVerticesAre(effect.planeMesh);
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 32; ++j)
            ASSERT_EQ(quad(i, j), openQuad(i, j)) << i << "," << j;
    expectUnitNormals();

    // Half-way through phase 1 the mesh is half-way from plane to tube.
    effect.draw(0, 0.1875f, 0);
    for (int c = 0; c < 3 * Morph::vertexCount; ++c)
        ASSERT_NEAR(effect.vertices[c], (effect.planeMesh[c] + effect.tubeMesh[c]) / 2, 1e-3) << c;
    expectUnitNormals();

    // The tube closes round: the last column of quads joins column 0.
    effect.draw(0, 0.25f, 0);
    EXPECT_EQ(effect.phase, 2);
    expectVerticesAre(effect.tubeMesh);
    for (int i = 0; i < 32; ++i) {
        uint32_t a = 33 * i;
        EXPECT_EQ(quad(i, 31), (std::vector<uint32_t>{a + 31, a, a + 64, a, a + 33, a + 64})) << i;
        EXPECT_EQ(quad(i, 30), openQuad(i, 30));
    }
    EXPECT_EQ(quad(31, 5), openQuad(31, 5));
    expectUnitNormals();

    // The torus closes the other way too: the last row of quads joins row 0.
    effect.draw(0, 0.5f, 0);
    EXPECT_EQ(effect.phase, 4);
    expectVerticesAre(effect.torusMesh);
    for (uint32_t j = 0; j < 31; ++j)
        EXPECT_EQ(quad(31, j), (std::vector<uint32_t>{1023 + j, 1024 + j, j, 1024 + j, j + 1, j})) << j;
    EXPECT_EQ(quad(31, 31), (std::vector<uint32_t>{1054, 1023, 1087, 1023, 1056, 1087}));

    effect.draw(0, 0.8f, 0);
    expectVerticesAre(effect.wideTorusMesh);
    std::vector<uint32_t> wrapped = indexList();
    effect.draw(0, 0.9f, 0);
    EXPECT_EQ(effect.phase, 7);
    EXPECT_EQ(indexList(), wrapped);

    // A new timeline entry of the same object starts from the plane again.
    effect.draw(0, 0, 0);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(quad(i, 31), openQuad(i, 31)) << i;
    for (uint32_t index : indexList())
        ASSERT_LT(index, static_cast<uint32_t>(Morph::vertexCount));
}

TEST_F(MorphTest, StateAfterDrawInEveryPhase)
{
    for (float progress : {0.05f, 0.2f, 0.3f, 0.4f, 0.55f, 0.7f, 0.8f, 0.95f}) {
        SCOPED_TRACE(progress);
        effect.draw(static_cast<int>(progress * 16000), progress, 0);
        for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_TEXTURE_2D})
            EXPECT_FALSE(isEnabled(cap)) << std::hex << cap;
        expectBlendOffAndReset();
        expectClientArraysOff();
        expectMatricesRestored();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(MorphTest, PlaneFliesInAsAFloorAndTheTorusSurroundsTheViewer)
{
    // Phase 0: the plane lies 5.6 units below the eye: a floor up to the horizon.
    effect.draw(0, 0.1f, 0);
    EXPECT_GT(brightness(readPixel(320, 10)), 30);
    EXPECT_EQ(brightness(readPixel(320, 470)), 0);

    // Progress 0.5: the eye lies inside the torus's tube, opaque on every side.
    resetFrame();
    effect.draw(0, 0.5f, 0);
    EXPECT_EQ(countLitInWindow(), testWindowWidth * testWindowHeight);

    // From 0.875 on only the stars show, fading out.
    resetFrame();
    effect.draw(14000, 0.88f, 0);
    int stars = countLitInWindow();
    EXPECT_GT(stars, 1000);
    EXPECT_LT(stars, testWindowWidth * testWindowHeight / 2);
    resetFrame();
    effect.draw(16000, 1, 0);
    EXPECT_EQ(countLitInWindow(), 0);
}

using MorphConstruction = EffectTest;

TEST_F(MorphConstruction, SpinThenPhaseForEachVertexFromTheSharedGenerator)
{
    std::srand(11);
    Morph effect("morph");
    std::srand(11);
    for (int k = 0; k < Morph::vertexCount; ++k) {
        float spin = 90 * (static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX));
        float u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
        ASSERT_FLOAT_EQ(effect.spriteSpin[k], spin) << k;
        ASSERT_FLOAT_EQ(effect.spritePhase[k], static_cast<float>(90 * u * 2 * 3.141592653589793)) << k;
    }
}

TEST_F(MorphConstruction, AnyMissingBufferMeansNothingIsDrawn)
{
    for (int failing = 0; failing < 9; ++failing) {
        SCOPED_TRACE(failing);
        resetEngineState();
        resetFrame();
        allocationCount = 0;
        failingAllocation = failing;
        auto* effect = new Morph("morph");
        failingAllocation = -1;
        EXPECT_FALSE(effect->ready());
        glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
        for (float progress : {0.0f, 0.3f, 0.6f, 0.9f})
            effect->draw(1000, progress, 0);
        EXPECT_EQ(countLitInWindow(), 0);
        EXPECT_FALSE(isEnabled(GL_LIGHTING));
        EXPECT_FALSE(isEnabled(GL_BLEND));
        EXPECT_FLOAT_EQ(currentColour()[0], 0.1f);
        delete effect;
    }
}

} // namespace
