#include "effect_fixture.h"
#include "papier.h"

#include <cmath>
#include <cstdlib>

namespace {

class PapierTest : public EffectTest {
protected:
    Papier effect{"papier"};
};

TEST(PapierSize, GrowsToFourByAQuarterAndShrinksFromThreeQuarters)
{
    EXPECT_FLOAT_EQ(Papier::sizeAt(0), 0);
    EXPECT_FLOAT_EQ(Papier::sizeAt(0.1f), 1.6f);
    EXPECT_FLOAT_EQ(Papier::sizeAt(0.25f), 4);
    EXPECT_FLOAT_EQ(Papier::sizeAt(0.5f), 4);
    EXPECT_FLOAT_EQ(Papier::sizeAt(std::nextafter(0.75f, 0.0f)), 4);
    EXPECT_FLOAT_EQ(Papier::sizeAt(0.75f), 4);
    EXPECT_NEAR(Papier::sizeAt(0.9f), 1.6f, 1e-5);
    EXPECT_FLOAT_EQ(Papier::sizeAt(1), 0);
}

TEST_F(PapierTest, LatticeAndScatteredStartsFromTheSharedGenerator)
{
    EXPECT_EQ(Papier::boxIndex(-3, -3, -3), 0);
    EXPECT_EQ(Papier::boxIndex(3, 3, 3), 342);
    int b = 3 * Papier::boxIndex(1, -2, 3);
    EXPECT_EQ(effect.latticePos[b], 32);
    EXPECT_EQ(effect.latticePos[b + 1], -64);
    EXPECT_EQ(effect.latticePos[b + 2], 96);
    // Every start coordinate lies 5 to 15 times farther out; the centre box starts at the origin.
    for (int c = 0; c < 3 * Papier::boxCount; ++c) {
        float lattice = effect.latticePos[c], start = effect.startPos[c];
        if (lattice == 0) {
            ASSERT_EQ(start, 0) << c;
        } else {
            ASSERT_GE(start / lattice, 5) << c;
            ASSERT_LE(start / lattice, 15) << c;
        }
    }
    // Draws are taken with i outermost and x, y, z per box.
    resetEngineState();
    std::srand(3);
    Papier seeded("papier");
    std::srand(3);
    float u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
    EXPECT_FLOAT_EQ(seeded.startPos[0], -96 * (10 * u + 5));
    u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
    EXPECT_FLOAT_EQ(seeded.startPos[1], -96 * (10 * u + 5));
    for (int skip = 0; skip < 3; ++skip)
        std::rand();
    u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
    // The second box drawn is (i, j, k) = (-3, -3, -2), index 49: its z is the sixth draw.
    EXPECT_FLOAT_EQ(seeded.startPos[3 * 49 + 2], -64 * (10 * u + 5));
}

TEST_F(PapierTest, BoxesArriveOnTheLatticeHalfWayWithoutAJump)
{
    for (int box = 0; box < Papier::boxCount; ++box) {
        float start[3], before[3], arrived[3], later[3];
        effect.position(box, 0, start);
        effect.position(box, std::nextafter(0.5f, 0.0f), before);
        effect.position(box, 0.5f, arrived);
        effect.position(box, 0.8f, later);
        for (int c = 0; c < 3; ++c) {
            ASSERT_EQ(start[c], effect.startPos[3 * box + c]);
            ASSERT_EQ(arrived[c], effect.latticePos[3 * box + c]);
            ASSERT_EQ(later[c], arrived[c]);
            ASSERT_NEAR(before[c], arrived[c], 1e-3) << box;
        }
    }
}

TEST_F(PapierTest, SettledBoxesOfSideTwelveGlowWithGapsBetween)
{
    effect.draw(0, 0.5f, 0);
    EXPECT_FLOAT_EQ(effect.boxSize, 4);
    // The centre box spans -6 to 6 across and 0 to 12 in depth; front and back
    // sheets overlap on the view axis: two additive layers at least.
    Rgb centre = readPixel(project(0, 0, 6));
    EXPECT_GE(centre[0], 120);
    EXPECT_GE(centre[2], 48);
    EXPECT_GE(brightness(readPixel(project(32, 32, 6))), 200);
    // Half-way between neighbouring boxes no box is on the line of sight.
    EXPECT_EQ(brightness(readPixel(project(16, 0, 6))), 0);

    resetFrame();
    effect.draw(0, 0, 0);
    EXPECT_EQ(effect.boxSize, 0);
    EXPECT_EQ(countLitInWindow(), 0);
}

TEST_F(PapierTest, StateAfterDrawKeepsTheGlowColour)
{
    glEnable(GL_BLEND);
    effect.draw(1000, 0.6f, 0);
    expectBlendOffAndReset();
    expectColour({0.25f, 0.25f, 0.1f, 1});
    expectMatricesRestored();
}

} // namespace
