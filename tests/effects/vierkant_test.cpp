#include "effect_fixture.h"
#include "vierkant.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

TEST(VierkantFlight, TenthOfTheEntryPicksTheFlight)
{
    EXPECT_EQ(Vierkant::flightAt(0.0f), 0);
    EXPECT_EQ(Vierkant::flightAt(0.05f), 0);
    EXPECT_EQ(Vierkant::flightAt(0.1f), 1);
    EXPECT_EQ(Vierkant::flightAt(0.35f), 3);
    EXPECT_EQ(Vierkant::flightAt(0.999f), 9);
    // At the very end, and past it, the last flight goes on: no tenth flight.
    EXPECT_EQ(Vierkant::flightAt(1.0f), 9);
    EXPECT_EQ(Vierkant::flightAt(1.7f), 9);
    EXPECT_EQ(Vierkant::flightAt(-0.2f), 0);
    EXPECT_EQ(Vierkant::flightAt(std::numeric_limits<float>::quiet_NaN()), 0);
}

class VierkantTest : public EffectTest {
protected:
    void loadFaces() { loadImages({{"down.png", {220, 0, 0}}, {"up.png", {0, 220, 0}}}); }
    Vierkant vierkant{"vierkant"};
};

TEST_F(VierkantTest, FlightsComeFromTheFixedSeed)
{
    // The generator now stands after the twenty draws of the flights.
    int next = std::rand();
    std::srand(1355817);
    for (int i = 0; i < Vierkant::flightCount; ++i) {
        double x = 220.0 * std::rand() / (RAND_MAX - 140.0) - 140;
        double y = 160.0 * std::rand() / (RAND_MAX - 110.0) - 110;
        EXPECT_NEAR(vierkant.flightStarts[i][0], x, 1e-3) << i;
        EXPECT_NEAR(vierkant.flightStarts[i][1], y, 1e-3) << i;
        EXPECT_GE(vierkant.flightStarts[i][0], -140.0f);
        EXPECT_LE(vierkant.flightStarts[i][0], 80.01f);
        EXPECT_GE(vierkant.flightStarts[i][1], -110.0f);
        EXPECT_LE(vierkant.flightStarts[i][1], 50.01f);
    }
    EXPECT_EQ(next, std::rand());
    Vierkant again("again");
    for (int i = 0; i < Vierkant::flightCount; ++i)
        EXPECT_EQ(again.flightStarts[i][0], vierkant.flightStarts[i][0]);
}

TEST_F(VierkantTest, RimBobsAndTheFanStaysClosed)
{
    for (int t : {0, 377, 1000, 12345}) {
        vierkant.draw(t, 0.5f, 0);
        EXPECT_EQ(vierkant.fanVertices[0][2], 0.0f);
        EXPECT_EQ(vierkant.fanVertices[9][2], vierkant.fanVertices[1][2]);
        for (auto& vertex : vierkant.fanVertices)
            EXPECT_LE(std::abs(vertex[2]), 20.0f);
    }
    // Vertex 4 bobs at pi / 20 per 100 ms: a quarter period at 1000 ms.
    vierkant.draw(1000, 0, 0);
    EXPECT_NEAR(vierkant.fanVertices[4][2], 20.0f, 1e-4);
}

TEST_F(VierkantTest, SheetFliesFromItsFlightsPlace)
{
    loadFaces();
    // At t = 0 the sheet neither tumbles nor bobs, and its front face looks
    // at the viewer. Half-way through its tenth, each flight crosses z = 0.
    for (int k = 0; k < Vierkant::flightCount; ++k) {
        // A wide view, so that every flight's place is on screen.
        resetFrame();
        useWideView();
        vierkant.draw(0, 0.1f * static_cast<float>(k) + 0.05f, 0);
        float x = vierkant.flightStarts[k][0], y = vierkant.flightStarts[k][1];
        expectPixelNear(readPixel(project(x, y, 0)), {220, 0, 0});
        // Forty units wide: points 25 units to either side are off the sheet.
        EXPECT_FALSE(isLit(readPixel(project(x + 25, y, 0)))) << k;
        EXPECT_FALSE(isLit(readPixel(project(x - 25, y, 0)))) << k;
    }
    // The last frame stays with flight 9, at the end of its run (z = 100).
    resetFrame();
    useWideView();
    vierkant.draw(0, 1.0f, 0);
    float x = vierkant.flightStarts[9][0], y = vierkant.flightStarts[9][1];
    expectPixelNear(readPixel(project(x, y, 100)), {220, 0, 0});
    EXPECT_FALSE(isLit(readPixel(project(x + 25, y, 100))));
}

TEST_F(VierkantTest, StateAfterDraw)
{
    loadFaces();
    MatrixState before;
    vierkant.draw(4321, 0.42f, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(intState(GL_FRONT_FACE), GL_CW);
    EXPECT_EQ(currentColour(), (std::array<float, 4>{1, 1, 1, 1}));
    for (GLenum cap : {GL_TEXTURE_2D, GL_BLEND, GL_CULL_FACE, GL_VERTEX_ARRAY, GL_TEXTURE_COORD_ARRAY})
        EXPECT_FALSE(isEnabled(cap)) << cap;
    // Additive blending is carried over.
    EXPECT_EQ(intState(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(intState(GL_BLEND_DST), GL_ONE);
    EXPECT_EQ(intState(GL_POLYGON_MODE), GL_FILL);
    EXPECT_EQ(MatrixState{}, before);
}

} // namespace
