// Lettering in layers: glow, shadow, outline, gradient fill, bevel highlight.
#include "lettering.h"

#include "procedural.h"

#include <algorithm>

// A mask grown by about radius pixels: a blur of the mask, cut off low.
static Mask grown(const Mask& mask, float radius)
{
    Mask soft = blurred(mask, radius * 0.5f);
    for (int y = 0; y < soft.height(); ++y)
        for (int x = 0; x < soft.width(); ++x)
            soft.at(x, y) = smoothstep(0.02f, 0.2f, soft.at(x, y));
    return soft;
}

void drawLetters(Canvas& canvas, const TextField& text, const TextPlacement& place, const LetterStyle& style)
{
    int width = canvas.width();
    int height = canvas.height();
    Mask core = textMask(text, place, width, height);
    Mask outer = style.outlineWidth > 0.0f ? grown(core, style.outlineWidth) : core;

    if (style.glow.a > 0.0f) {
        Mask glow = blurred(outer, style.glowRadius);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                canvas.over(x, y, style.glow, std::min(1.0f, glow.at(x, y) * 1.6f));
    }
    if (style.shadow.a > 0.0f) {
        Mask shadow = blurred(outer, std::max(1.0f, style.shadowOffset * 0.5f));
        int offset = static_cast<int>(style.shadowOffset + 0.5f);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                canvas.over(x, y, style.shadow, shadow.sample(x - offset, y - offset));
    }
    if (style.outline.a > 0.0f)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                canvas.over(x, y, style.outline, outer.at(x, y));

    float topY = place.centreY - place.pixelHeight * text.height() / 2.0f;
    float letterHeight = place.pixelHeight * text.height();
    int bevel = std::max(1, static_cast<int>(place.pixelHeight * 0.3f + 0.5f));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float coverage = core.at(x, y);
            if (coverage <= 0.0f)
                continue;
            Colour fill = mix(style.top, style.bottom, clamp01((y + 0.5f - topY) / letterHeight));
            canvas.over(x, y, fill, coverage);
            // Upper edges catch the light: inside the letter, but not inside it a little higher up.
            float edge = coverage * (1.0f - core.sample(x, y - bevel));
            if (style.highlight.a > 0.0f)
                canvas.over(x, y, style.highlight, edge);
        }
}

TextPlacement ScreenFrame::fit(const TextField& text, float x, float y, float boxWidth, float boxHeight,
                               float tallness) const
{
    // One screen unit across is 3/8 of the texture's width, one unit down 1/2 of its height.
    float pixelsPerX = size * 3.0f / 8.0f;
    float pixelsPerY = size / 2.0f;
    float centreX = (x * 3.0f / 4.0f + 1.0f) / 2.0f * size;
    float centreY = (1.0f - y) / 2.0f * size;
    float unit = std::min(boxWidth / text.width(), boxHeight / (text.height() * tallness));
    return {centreX, centreY, unit * pixelsPerX, unit * tallness * pixelsPerY};
}
