#include "effect_fixture.h"
#include "sphere.h"

namespace {

TEST(SphereFade, InOverTwoSecondsAndOutOverTheLastTwo)
{
    EXPECT_FLOAT_EQ(Sphere::fade(0, 0), 0.0f);
    EXPECT_FLOAT_EQ(Sphere::fade(1000, 0.1f), 0.5f);
    EXPECT_FLOAT_EQ(Sphere::fade(5000, 0.5f), 1.0f);
    EXPECT_FLOAT_EQ(Sphere::fade(7999, 0.7999f), 1.0f);
    EXPECT_FLOAT_EQ(Sphere::fade(9000, 0.9f), 0.5f);
    EXPECT_FLOAT_EQ(Sphere::fade(10000, 1.0f), 0.0f);
    // A 3-second entry never gets opaque: from 2 s on it fades out.
    EXPECT_FLOAT_EQ(Sphere::fade(1999, 1999.0f / 3000), 0.9995f);
    EXPECT_FLOAT_EQ(Sphere::fade(2000, 2.0f / 3), 0.5f);
    // Progress 0 after two seconds: no end in sight, opaque.
    EXPECT_FLOAT_EQ(Sphere::fade(3000, 0.0f), 1.0f);
}

TEST(SphereFade, BaseColourIsWhiteOnlyForParameterOne)
{
    EXPECT_EQ(Sphere::baseGrey(1.0f), 1.0f);
    EXPECT_EQ(Sphere::baseGrey(1.9f), 1.0f);
    EXPECT_EQ(Sphere::baseGrey(2.0f), 0.0f);
    EXPECT_EQ(Sphere::baseGrey(0.5f), 0.0f);
    EXPECT_EQ(Sphere::baseGrey(-1.0f), 0.0f);
}

class SphereTest : public EffectTest {
protected:
    void loadTexture() { loadImages({{"bubble2.png", {200, 0, 0}}}); }
    Sphere sphere{"sphere"};
};

TEST_F(SphereTest, TeapotCoversTheCentreAndFades)
{
    loadTexture();
    sphere.draw(5000, 0.5f, 0);
    expectPixelNear(readPixel(320, 240), {200, 0, 0});
    resetFrame();
    sphere.draw(9000, 0.9f, 0);
    expectPixelNear(readPixel(320, 240), {100, 0, 0});
    resetFrame();
    sphere.draw(0, 0, 0);
    EXPECT_EQ(countLitInWindow(), 0);
}

TEST_F(SphereTest, UntexturedTeapotShowsTheBaseColour)
{
    // No image: the bind is refused and the base colour shows.
    sphere.draw(5000, 0.5f, 1.5f);
    expectPixelNear(readPixel(320, 240), {255, 255, 255});
    resetFrame();
    sphere.draw(5000, 0.5f, 2.0f);
    EXPECT_EQ(countLitInWindow(), 0);
    clearGlErrors();
}

TEST_F(SphereTest, StateAfterDraw)
{
    loadTexture();
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    MatrixState before;
    sphere.draw(1000, 0.1f, 1.2f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(texEnvMode(), GL_REPLACE);
    EXPECT_EQ(currentColour(), (std::array<float, 4>{1, 1, 1, 0.5f}));
    EXPECT_EQ(intState(GL_FRONT_FACE), GL_CCW);
    EXPECT_EQ(intState(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(intState(GL_BLEND_DST), GL_ZERO);
    for (GLenum cap : {GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE, GL_TEXTURE_2D, GL_VERTEX_ARRAY, GL_NORMAL_ARRAY})
        EXPECT_FALSE(isEnabled(cap)) << cap;
    EXPECT_EQ(MatrixState{}, before);
}

} // namespace
