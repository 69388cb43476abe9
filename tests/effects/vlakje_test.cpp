#include "effect_fixture.h"
#include "vlakje.h"

#include <cmath>

namespace {

TEST(VlakjeAmplitude, PulsesWithATwoSecondPeriod)
{
    EXPECT_FLOAT_EQ(Vlakje::amplitude(0), 0.75f);
    EXPECT_FLOAT_EQ(Vlakje::amplitude(500), 1.0f);
    EXPECT_NEAR(Vlakje::amplitude(1000), 0.75f, 1e-6);
    EXPECT_FLOAT_EQ(Vlakje::amplitude(1500), 0.5f);
    EXPECT_FLOAT_EQ(Vlakje::amplitude(2500), 1.0f);
}

class VlakjeTest : public EffectTest {
protected:
    std::array<float, 2> restPlace(int k) const
    {
        int i = k / Vlakje::side, j = k % Vlakje::side;
        return {j * 3.46875f - 55.5f, i * 2.625f - 42.0f};
    }
    float distanceFromRest(int k) const
    {
        auto rest = restPlace(k);
        return std::hypot(vlakje.vertices[k][0] - rest[0], vlakje.vertices[k][1] - rest[1]);
    }
    Vlakje vlakje{"vlakje"};
};

TEST_F(VlakjeTest, BorderStaysAndInnerVerticesCircleTheirRestPlaces)
{
    for (int t : {0, 123, 500, 1500, 4321}) {
        vlakje.draw(t, 0, 0);
        float radius = 3.46875f / 4 * Vlakje::amplitude(t);
        for (int k = 0; k < Vlakje::vertexCount; ++k) {
            int i = k / Vlakje::side, j = k % Vlakje::side;
            bool border = i == 0 || j == 0 || i == Vlakje::side - 1 || j == Vlakje::side - 1;
            if (border) {
                EXPECT_EQ(vlakje.vertices[k][0], restPlace(k)[0]) << k;
                EXPECT_EQ(vlakje.vertices[k][1], restPlace(k)[1]) << k;
            } else {
                EXPECT_NEAR(distanceFromRest(k), radius, 1e-4) << k;
            }
            EXPECT_EQ(vlakje.vertices[k][2], 0.0f);
        }
    }
    EXPECT_EQ(vlakje.vertices[0][0], -55.5f);
    EXPECT_EQ(vlakje.vertices[0][1], -42.0f);
    clearGlErrors(); // drawn without its image
}

TEST_F(VlakjeTest, InnerVertexComesBackEveryTwoSeconds)
{
    const int k = 17 * Vlakje::side + 5;
    vlakje.draw(300, 0, 0);
    float x = vlakje.vertices[k][0], y = vlakje.vertices[k][1];
    vlakje.draw(2300, 0, 0);
    EXPECT_NEAR(vlakje.vertices[k][0], x, 1e-3);
    EXPECT_NEAR(vlakje.vertices[k][1], y, 1e-3);
    // Half a turn later it stands on the other side of its rest place.
    vlakje.draw(800, 0, 0);
    auto rest = restPlace(k);
    EXPECT_LT((vlakje.vertices[k][0] - rest[0]) * (x - rest[0]) + (vlakje.vertices[k][1] - rest[1]) * (y - rest[1]),
              0.0f);
    clearGlErrors(); // drawn without its image
}

TEST_F(VlakjeTest, PictureCoversTheWindowWithColourWeightedBlending)
{
    loadImages({{"vlakje.png", {255, 128, 0}}});
    glColor4f(1, 1, 1, 1);
    MatrixState before;
    vlakje.draw(700, 0.3f, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // Over black, source times source colour: (255, 128, 0) shows as (255, 64, 0).
    for (auto at :
         {std::array{0, 0}, std::array{639, 0}, std::array{0, 479}, std::array{639, 479}, std::array{320, 240}})
        expectPixelNear(readPixel(at), {255, 64, 0}, 2);
    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(isEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(isEnabled(GL_TEXTURE_COORD_ARRAY));
    expectBlendOffAndReset();
    EXPECT_EQ(MatrixState{}, before);
}

TEST_F(VlakjeTest, MeshTakesTheCurrentColour)
{
    loadImages({{"vlakje.png", {255, 255, 255}}});
    glColor3f(0, 1, 0);
    vlakje.draw(0, 0, 0);
    expectPixelNear(readPixel(320, 240), {0, 255, 0}, 2);
    EXPECT_EQ(currentColour(), (std::array<float, 4>{0, 1, 0, 1}));
}

} // namespace
