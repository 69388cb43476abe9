// The 5 x 7 font: layout widths, the smooth field and the antialiased mask.
#include "pixel_font.h"

#include <gtest/gtest.h>

namespace {

TEST(PixelFont, GlyphsAreLitWhereDrawn)
{
    // "L": the left column and the bottom row.
    for (int row = 0; row < glyphHeight; ++row)
        EXPECT_TRUE(glyphPixel('L', 0, row));
    for (int column = 0; column < glyphWidth; ++column)
        EXPECT_TRUE(glyphPixel('L', column, glyphHeight - 1));
    EXPECT_FALSE(glyphPixel('L', 2, 3));
    // The space, unknown codes and positions outside the cell are dark.
    EXPECT_FALSE(glyphPixel(' ', 0, 0));
    EXPECT_FALSE(glyphPixel('~', 0, 0));
    EXPECT_FALSE(glyphPixel('L', -1, 0));
    EXPECT_FALSE(glyphPixel('L', 0, glyphHeight));
}

TEST(PixelFont, ProportionalAndMonospacedWidths)
{
    EXPECT_EQ(TextField("I").width(), 3.0f);    // as wide as its lit columns
    EXPECT_EQ(TextField("II").width(), 7.0f);   // one pixel apart, none after the last
    EXPECT_EQ(TextField("A A").width(), 15.0f); // a space is 3 pixels wide
    EXPECT_EQ(TextField("A~A").width(), 15.0f); // unknown codes leave a space
    EXPECT_EQ(TextField("II", true).width(), 11.0f);
    EXPECT_EQ(TextField("").width(), 0.0f);
    EXPECT_EQ(TextField("OrB").height(), 7.0f);
}

TEST(PixelFont, FieldIsHighOnStrokesAndLowBetweenThem)
{
    TextField h("H");
    EXPECT_GE(h.at(0.5f, 1.5f), 0.5f);  // left stem
    EXPECT_GE(h.at(4.5f, 5.5f), 0.5f);  // right stem
    EXPECT_GE(h.at(2.5f, 3.5f), 0.5f);  // crossbar
    EXPECT_LT(h.at(2.5f, 1.5f), 0.5f);  // the open space above the bar
    EXPECT_LT(h.at(2.5f, 5.5f), 0.5f);  // and below it
    EXPECT_EQ(h.at(-3.0f, 3.5f), 0.0f); // far outside
    EXPECT_EQ(h.at(2.5f, 12.0f), 0.0f);
    // A lone pixel's bump reaches its peak of 1 at its centre.
    TextField dot(".");
    EXPECT_FLOAT_EQ(dot.at(0.5f, 6.5f), 1.0f);
    // Diagonal neighbours join, so that enlarged diagonals stay connected.
    TextField slash("/");
    EXPECT_GE(slash.at(4.0f, 2.0f), 0.5f); // between pixels (4, 1) and (3, 2)
}

TEST(PixelFont, FitTextFillsTheTighterSideOfTheBox)
{
    TextField text("ABCD"); // 23 x 7
    TextPlacement wide = fitText(text, 100.0f, 50.0f, 1000.0f, 70.0f);
    EXPECT_FLOAT_EQ(wide.pixelHeight, 10.0f);
    EXPECT_FLOAT_EQ(wide.pixelWidth, 10.0f);
    TextPlacement narrow = fitText(text, 100.0f, 50.0f, 46.0f, 70.0f, 1.5f);
    EXPECT_FLOAT_EQ(narrow.pixelWidth, 2.0f);
    EXPECT_FLOAT_EQ(narrow.pixelHeight, 3.0f);
    EXPECT_FLOAT_EQ(narrow.centreX, 100.0f);
    EXPECT_FLOAT_EQ(narrow.centreY, 50.0f);
}

TEST(PixelFont, MaskCoversTheEnlargedGlyph)
{
    // "L" at ten image pixels per font pixel fills a 50 x 70 image.
    TextField text("L");
    TextPlacement place{25.0f, 35.0f, 10.0f, 10.0f};
    Mask mask = textMask(text, place, 50, 70);
    EXPECT_FLOAT_EQ(mask.at(5, 35), 1.0f);  // inside the stem
    EXPECT_FLOAT_EQ(mask.at(35, 65), 1.0f); // inside the foot
    EXPECT_FLOAT_EQ(mask.at(35, 30), 0.0f); // the open part
    // Strokes are a little bolder than their pixels: the stem reaches past x = 10.
    EXPECT_FLOAT_EQ(mask.at(10, 30), 1.0f);
    EXPECT_FLOAT_EQ(mask.at(12, 30), 0.0f);
    // Edges that fall inside an image pixel are antialiased.
    Mask odd = textMask(text, {25.0f, 35.0f, 7.3f, 7.3f}, 50, 70);
    int partial = 0;
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 50; ++x)
            partial += odd.at(x, y) > 0.0f && odd.at(x, y) < 1.0f;
    EXPECT_GT(partial, 20);

    // A higher level thins the letters, a lower one makes them bolder.
    Mask thin = textMask(text, place, 50, 70, 0.9f);
    Mask bold = textMask(text, place, 50, 70, 0.2f);
    float thinSum = 0, normalSum = 0, boldSum = 0;
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 50; ++x) {
            thinSum += thin.at(x, y);
            normalSum += mask.at(x, y);
            boldSum += bold.at(x, y);
        }
    EXPECT_LT(thinSum, normalSum);
    EXPECT_GT(boldSum, normalSum);
}

TEST(PixelFont, SlantLeansTheTopToTheRight)
{
    TextField text("I"); // its stem is column 1
    TextPlacement upright{15.0f, 35.0f, 10.0f, 10.0f};
    TextPlacement slanted = upright;
    slanted.slant = 0.5f;
    Mask a = textMask(text, upright, 30, 70);
    Mask b = textMask(text, slanted, 30, 70);
    // Halfway up the stem nothing moves; near the top the stem has moved right.
    EXPECT_FLOAT_EQ(a.at(15, 35), b.at(15, 35));
    EXPECT_FLOAT_EQ(a.at(15, 15), 1.0f);
    EXPECT_FLOAT_EQ(b.at(15, 15), 0.0f);
    EXPECT_FLOAT_EQ(b.at(25, 12), 1.0f);
}

} // namespace
