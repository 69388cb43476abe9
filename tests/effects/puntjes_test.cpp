#include "effect_fixture.h"
#include "puntjes.h"

#include <png.h>

#include <cmath>
#include <cstdlib>

namespace {

class PuntjesTest : public EffectTest {
protected:
    void addImage(uint32_t width, uint32_t height, int channels, uint8_t fill = 200)
    {
        PngLayout layout;
        layout.width = width;
        layout.height = height;
        layout.colourType = channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
        layout.rows.assign(static_cast<size_t>(width) * height * channels, fill);
        ASSERT_TRUE(writePng("thegimp.png", layout));
        listImage("thegimp.png");
        loadImages();
    }
    void expectSettings(float scale, float spin, float twist, float pointSize)
    {
        EXPECT_FLOAT_EQ(puntjes.scale, scale);
        EXPECT_FLOAT_EQ(puntjes.spin, spin);
        EXPECT_FLOAT_EQ(puntjes.twist, twist);
        EXPECT_FLOAT_EQ(puntjes.pointSize, pointSize);
    }
    Puntjes puntjes{"puntjes"};
};

TEST_F(PuntjesTest, CloudComesFromTheFixedSeed)
{
    int next = std::rand();
    std::srand(66);
    for (int i = 0; i < 2193; ++i) {
        float u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
        ASSERT_FLOAT_EQ(puntjes.positions[3 * i + 2], 47.0f * u) << i;
    }
    EXPECT_EQ(next, std::rand());
    // Rows are counted down from 51 by the height, 43.
    EXPECT_EQ(puntjes.positions[0], 0.0f);
    EXPECT_EQ(puntjes.positions[1], 51.0f);
    EXPECT_EQ(puntjes.positions[3 * 2192], 50.0f);
    EXPECT_EQ(puntjes.positions[3 * 2192 + 1], 0.0f);
    EXPECT_EQ(puntjes.offset[0], -25.0f);
    EXPECT_EQ(puntjes.offset[1], -21.0f);
    EXPECT_EQ(puntjes.offset[2], -23.0f);
}

TEST_F(PuntjesTest, GrowsHoldsAndSettlesCarryingStateIntoTheNextEntry)
{
    addImage(51, 43, 3);
    puntjes.draw(0, 0, 0);
    expectSettings(5, 0, 45, 0);
    puntjes.draw(3000, 0.3f, 0);
    expectSettings(5, 150, 45, 15);
    puntjes.draw(5000, 0.5f, 0);
    expectSettings(5, 250, 45, 15);
    // The first settling frame jumps: the spin at 0.8 was 400 degrees,
    // 40 below 360, scaled by 0.8.
    puntjes.draw(8000, 0.8f, 0);
    expectSettings(5, 32, 36, 17);
    puntjes.draw(9000, 0.9f, 0);
    expectSettings(3, 32, 36, 17);
    puntjes.draw(9500, 0.95f, 0);
    expectSettings(1.5f, 16, 18, 11);
    // A second entry keeps the decayed scale and twist.
    puntjes.draw(1000, 0.1f, 0);
    expectSettings(1.5f, 50, 18, 5);
    puntjes.draw(8000, 0.8f, 0);
    expectSettings(1.5f, 4, 4.5f, 6.5f);
    clearGlErrors(); // the first frames' point size 0 is refused
}

TEST_F(PuntjesTest, ZeroLengthEntryCountsAsAFirstFrame)
{
    addImage(51, 43, 3);
    puntjes.draw(0, std::nanf(""), 0);
    expectSettings(5, 0, 45, 0);
    puntjes.draw(8000, 0.8f, 0);
    expectSettings(5, 32, 36, 17);
    clearGlErrors(); // the first frame's point size 0 is refused
}

TEST_F(PuntjesTest, PointSizeZeroIsRefusedAndTheOldSizeStays)
{
    addImage(51, 43, 3);
    glPointSize(3);
    puntjes.draw(0, 0, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_INVALID_VALUE));
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 3.0f);
}

TEST_F(PuntjesTest, ColoursNeverReachPastThePicture)
{
    struct Case {
        uint32_t width, height;
        int channels;
        int count, stride;
    };
    for (Case c : {Case{51, 43, 3, 2193, 3}, Case{51, 43, 4, 2193, 4}, Case{64, 64, 3, 2193, 3}, Case{2, 1, 3, 2, 3},
                   Case{16, 8, 4, 128, 4}}) {
        SCOPED_TRACE(c.width * 100 + c.height);
        resetImages();
        addImage(c.width, c.height, c.channels);
        Puntjes::Colours colours = puntjes.colours();
        EXPECT_EQ(colours.pixels, puntjes.texturePixels(0));
        EXPECT_EQ(colours.count, c.count);
        EXPECT_EQ(colours.stride, c.stride);
    }
    // No picture at all: no colours, no points.
    resetImages();
    loadImages();
    EXPECT_EQ(puntjes.colours().count, 0);
    puntjes.draw(5000, 0.5f, 0);
    EXPECT_EQ(countLitInWindow(), 0);
}

TEST_F(PuntjesTest, OnePixelPictureDrawsOnePoint)
{
    addImage(1, 1, 3, 255);
    puntjes.draw(3000, 0.3f, 0);
    // One 15-pixel point, never a cloud of 2193.
    int lit = countLitInWindow();
    EXPECT_GT(lit, 0);
    EXPECT_LE(lit, 16 * 16);
}

TEST_F(PuntjesTest, StateAfterDraw)
{
    addImage(51, 43, 3);
    MatrixState before;
    puntjes.draw(8500, 0.85f, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (GLenum cap : {GL_BLEND, GL_VERTEX_ARRAY, GL_COLOR_ARRAY})
        EXPECT_FALSE(isEnabled(cap)) << cap;
    EXPECT_EQ(intState(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(intState(GL_BLEND_DST), GL_ONE_MINUS_SRC_COLOR);
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, puntjes.pointSize);
    EXPECT_EQ(MatrixState{}, before);
    EXPECT_GT(countLitInWindow(), 0);
}

} // namespace
