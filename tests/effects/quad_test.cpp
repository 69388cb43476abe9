#include "effect_fixture.h"
#include "quad.h"

#include <cmath>
#include <limits>

namespace {

TEST(QuadPicture, IntegerPartOfTheParameterPicksTheSlot)
{
    EXPECT_EQ(Quad::pictureFor(0.0f), 0);
    EXPECT_EQ(Quad::pictureFor(2.9f), 2);
    EXPECT_EQ(Quad::pictureFor(8.99f), 8);
    // No picture below 0 (not even -0.5, which truncates to 0) or from 9 on.
    EXPECT_EQ(Quad::pictureFor(-0.5f), -1);
    EXPECT_EQ(Quad::pictureFor(9.0f), -1);
    EXPECT_EQ(Quad::pictureFor(1e12f), -1);
    EXPECT_EQ(Quad::pictureFor(std::numeric_limits<float>::infinity()), -1);
    EXPECT_EQ(Quad::pictureFor(std::numeric_limits<float>::quiet_NaN()), -1);
}

class QuadTest : public EffectTest {
protected:
    void loadPictures()
    {
        const char* files[] = {"preshere.png", "beer.png",    "tibet.png", "world.png",  "owns.png",
                               "stoporb.png",  "bedankt.png", "asci.png",  "yourorb.png"};
        for (int i = 0; i < 9; ++i)
            addSolidImage({files[i], colours[i]});
        loadImages();
    }
    Rgb colours[9] = {{200, 0, 0},   {0, 200, 0}, {0, 0, 200}, {200, 200, 0}, {0, 200, 200},
                      {200, 0, 200}, {100, 0, 0}, {0, 100, 0}, {0, 0, 100}};
    Quad quad{"quad"};
};

TEST_F(QuadTest, PictureFillsTheWindowAndStateIsRestored)
{
    loadPictures();
    glColor4f(0.2f, 0.3f, 0.4f, 0.5f);
    MatrixState before;
    quad.draw(123, 0.4f, 2.9f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (auto at :
         {std::array{0, 0}, std::array{639, 0}, std::array{0, 479}, std::array{639, 479}, std::array{320, 240}})
        expectPixelNear(readPixel(at), colours[2], 0);
    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(isEnabled(GL_BLEND));
    EXPECT_EQ(currentColour(), (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_EQ(MatrixState{}, before);
}

TEST_F(QuadTest, EachSlotShowsItsOwnPicture)
{
    loadPictures();
    for (int slot = 0; slot < 9; ++slot) {
        quad.draw(0, 0, static_cast<float>(slot) + 0.5f);
        expectPixelNear(readPixel(320, 240), colours[slot], 0);
    }
}

TEST_F(QuadTest, TopRowOfThePictureLiesOnTheTopEdge)
{
    // Top half red, bottom half blue.
    PngLayout layout;
    layout.width = 2;
    layout.height = 2;
    layout.rows = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255};
    ASSERT_TRUE(writePng("preshere.png", layout));
    listImage("preshere.png");
    loadImages();
    quad.draw(0, 0, 0);
    expectPixelNear(readPixel(320, 470), {255, 0, 0}, 0);
    expectPixelNear(readPixel(320, 10), {0, 0, 255}, 0);
}

TEST_F(QuadTest, ValuesNamingNoPictureDrawNothing)
{
    loadPictures();
    for (float value : {-0.5f, -3.0f, 9.0f, 42.7f, std::numeric_limits<float>::quiet_NaN()}) {
        quad.draw(0, 0, value);
        EXPECT_EQ(countLitInWindow(), 0) << value;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << value;
    }
}

} // namespace
