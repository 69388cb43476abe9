// Styled lettering: text from the pixel font drawn onto a canvas with a fill
// gradient, a bevel highlight, an outline, a drop shadow and a glow.
#pragma once

#include "image_canvas.h"
#include "pixel_font.h"

struct LetterStyle {
    Colour top;                               // fill at the top of the letters
    Colour bottom;                            // fill at the bottom of the letters
    Colour highlight{1.0f, 1.0f, 1.0f, 0.0f}; // bevel light on upper edges; alpha 0 for none
    Colour outline{0.0f, 0.0f, 0.0f, 0.0f};   // alpha 0 for none
    float outlineWidth = 0.0f;                // image pixels
    Colour shadow{0.0f, 0.0f, 0.0f, 0.0f};    // alpha 0 for none
    float shadowOffset = 0.0f;                // image pixels down and right
    Colour glow{0.0f, 0.0f, 0.0f, 0.0f};      // alpha 0 for none
    float glowRadius = 0.0f;                  // image pixels
};

void drawLetters(Canvas& canvas, const TextField& text, const TextPlacement& place, const LetterStyle& style);

// Coordinates of a picture that fills the 4:3 screen while being stored in a
// square texture: x runs from -4/3 to 4/3 and y from 1 (top) to -1 (bottom),
// so that circles drawn in these units are round on screen.
struct ScreenFrame {
    int size; // texture width and height in pixels

    float x(float pixelX) const { return (pixelX / size * 2.0f - 1.0f) * (4.0f / 3.0f); }
    float y(float pixelY) const { return 1.0f - pixelY / size * 2.0f; }
    // The placement of text centred at (x, y) in a box of the given screen
    // size, with square font pixels as seen on screen.
    TextPlacement fit(const TextField& text, float x, float y, float boxWidth, float boxHeight,
                      float tallness = 1.0f) const;
};
