// The generator's own 5 x 7 pixel font and its smooth enlargement: text is
// laid out on the font's pixel grid, and the lit pixels are turned into a
// smooth field whose level set at one half is the outline of the letters, so
// that letters scale to any size with round joints and soft edges.
#pragma once

#include "image_canvas.h"

#include <string_view>
#include <vector>

constexpr int glyphWidth = 5;
constexpr int glyphHeight = 7;

// Whether pixel (column, row) of a glyph is lit; false for unknown codes and
// for the space.
bool glyphPixel(char code, int column, int row);

class TextField {
public:
    // Proportional text: each glyph as wide as its lit columns, one pixel
    // apart. Monospaced text gives every glyph the full cell of 6 pixels.
    explicit TextField(std::string_view text, bool monospaced = false);

    float width() const { return static_cast<float>(columns); }
    float height() const { return static_cast<float>(glyphHeight); }
    // The field at a point of the font grid (pixel (i, j) spans i..i+1,
    // j..j+1): 1 at the centre of a lone lit pixel, higher inside strokes,
    // 0 more than a pixel away from any lit pixel.
    float at(float fx, float fy) const;

private:
    bool lit(int column, int row) const;

    int columns = 0;
    std::vector<bool> grid; // glyphHeight rows of columns entries
};

// Where text stands in an image: the centre of its box in image pixels, the
// size of one font pixel in image pixels, and a slant (italic) in font
// pixels of shift per font pixel of height.
struct TextPlacement {
    float centreX;
    float centreY;
    float pixelWidth;
    float pixelHeight;
    float slant = 0.0f;
};

// The largest placement that fits the text into a box of boxWidth x
// boxHeight image pixels centred at (centreX, centreY); a font pixel is
// tallness times as high as it is wide.
TextPlacement fitText(const TextField& text, float centreX, float centreY, float boxWidth, float boxHeight,
                      float tallness = 1.0f);

// Coverage (0 to 1, antialiased) of the text in an image of width x height.
// A level below one half draws the letters bolder, above it thinner.
Mask textMask(const TextField& text, const TextPlacement& place, int width, int height, float level = 0.5f);
