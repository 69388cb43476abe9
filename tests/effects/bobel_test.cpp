#include "bobel.h"
#include "bubble.h"
#include "effect_fixture.h"

#include <cmath>

namespace {

using FirstEffectsTest = EffectTest;

TEST_F(FirstEffectsTest, BobelSwarmStaysWithinItsOrbit)
{
    Bobel bobel("bobel");
    const float limit = 2.75f * std::sqrt(3.0f);
    int inside = 0, outside = 0;
    for (int i = 0; i < Bobel::particleCount; ++i) {
        const float* p = bobel.particles + i * Bobel::fieldCount;
        float length = std::hypot(p[Bobel::offsetX], p[Bobel::offsetY], p[Bobel::offsetZ]);
        EXPECT_LE(length, limit + 1e-5f);
        (length < 3.0f ? inside : outside)++;
        EXPECT_GE(std::fabs(p[Bobel::spin]), 0.125f - 1e-6f);
        for (int c : {Bobel::red, Bobel::green, Bobel::blue, Bobel::axisX, Bobel::axisY, Bobel::axisZ}) {
            EXPECT_GE(p[c], 0.0f);
            EXPECT_LE(p[c], 1.0f);
        }
    }
    // Some particles orbit inside the outer ball (radius 3), some outside.
    EXPECT_GT(inside, 0);
    EXPECT_GT(outside, 0);
}

TEST_F(FirstEffectsTest, BobelRestoresItsStateAfterDrawing)
{
    Bobel bobel("bobel");
    bobel.resolveTextures();
    glEnable(GL_POINT_SMOOTH);
    bobel.draw(1234, 0.3f, 0.0f);
    for (GLenum cap : {GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_BLEND, GL_TEXTURE_2D, GL_DEPTH_TEST, GL_CULL_FACE,
                       GL_POINT_SMOOTH})
        EXPECT_FALSE(isEnabled(cap)) << std::hex << cap;
    EXPECT_EQ(currentColour(), (std::array<GLfloat, 4>{1, 1, 1, 1}));
    EXPECT_EQ(intState(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_EQ(intState(GL_FRONT_FACE), GL_CCW);
    expectMatricesRestored();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FirstEffectsTest, BobelSwingsThroughTheViewerThreeTimes)
{
    Bobel bobel("bobel");
    bobel.resolveTextures();
    // Resting depth: 15 units in front of the eye, filling the middle.
    bobel.draw(0, 0.0f, 0.0f);
    int resting = countLitInWindow(30);
    EXPECT_GT(resting, 20000);
    auto centre = readPixel(testWindowWidth / 2, testWindowHeight / 2);
    EXPECT_GT(brightness(centre), 100);

    // At 1/12 of the entry the group lies behind the eye: nothing is seen.
    resetFrame();
    bobel.draw(0, 1.0f / 12, 0.0f);
    EXPECT_EQ(countLitInWindow(30), 0);

    // At 3/12 it is 196 units further away: small, but still there.
    resetFrame();
    bobel.draw(0, 3.0f / 12, 0.0f);
    int far = countLitInWindow(30);
    EXPECT_GT(far, 0);
    EXPECT_LT(far, resting / 20);
}

TEST_F(FirstEffectsTest, BubbleSitsRightOfCentreAndRestoresState)
{
    Bubble bubble("bubble");
    bubble.resolveTextures();
    bubble.draw(0, 0.0f, 0.0f);
    // Centre (40, 0, 0) at 200 units: about 116 pixels right of the middle,
    // radius about 232 pixels. Untextured, it shows the half-grey colour.
    auto middle = readPixel(436, 240);
    EXPECT_NEAR(middle[0], 128, 3);
    EXPECT_EQ(middle[0], middle[1]);
    EXPECT_EQ(middle[1], middle[2]);
    EXPECT_EQ(readPixel(630, 240)[0], middle[0]);
    EXPECT_EQ(readPixel(20, 240)[0], 0);

    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(isEnabled(GL_CULL_FACE));
    EXPECT_FALSE(isEnabled(GL_LIGHTING));
    EXPECT_FALSE(isEnabled(GL_BLEND));
    EXPECT_EQ(currentColour(), (std::array<GLfloat, 4>{0.5f, 0.5f, 0.5f, 1}));
    expectMatricesRestored();
    // Without its image the slot's target is 666, which OpenGL refuses.
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_ENUM));
}

TEST_F(FirstEffectsTest, BubbleBobsUpAndDown)
{
    Bubble bubble("bubble");
    bubble.resolveTextures();
    // After a quarter of its 2000 * 2 pi ms bob the sphere is 50 units up:
    // its lowest point rises from about 232 to about 87 pixels below the middle.
    int quarter = static_cast<int>(2000 * M_PI / 2);
    bubble.draw(quarter, 0.0f, 0.0f);
    EXPECT_EQ(readPixel(436, 60)[0], 0);
    EXPECT_GT(readPixel(436, 400)[0], 100);
    resetFrame();
    bubble.draw(0, 0.0f, 0.0f);
    EXPECT_GT(readPixel(436, 60)[0], 100);
    clearGlErrors(); // drawn without its image
}

} // namespace
