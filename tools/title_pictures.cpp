// Full-screen title cards of the Quad and Decompose effects: the opening
// card, "OrB owns", the stop sign, the thanks, and a text-mode picture. Each
// is a square texture stretched over the 4:3 screen, painted in ScreenFrame
// units so that it looks right once stretched.
#include "demo_images.h"
#include "lettering.h"
#include "procedural.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int pictureSize = 256;
const ScreenFrame frame{pictureSize};

void letter(Canvas& canvas, const char* words, float x, float y, float width, float height, const LetterStyle& style,
            float slant = 0.0f)
{
    TextField text(words);
    TextPlacement place = frame.fit(text, x, y, width, height);
    place.slant = slant;
    drawLetters(canvas, text, place, style);
}

LetterStyle plainStyle(unsigned top, unsigned bottom, unsigned outline, float outlineWidth)
{
    LetterStyle style;
    style.top = hexColour(top);
    style.bottom = hexColour(bottom);
    style.outline = hexColour(outline);
    style.outlineWidth = outlineWidth;
    return style;
}

} // namespace

Canvas paintPresentsHere()
{
    Canvas canvas = shadePixels(pictureSize, pictureSize, 2, [](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        Colour sky = ramp({{-1.0f, hexColour(0x3a1050)}, {0.0f, hexColour(0x140a34)}, {1.0f, hexColour(0x03040f)}}, y);
        float cloud = clamp01(fractalNoise(x * 1.6f + 7.0f, y * 1.6f, 5, 11u) * 1.4f + 0.1f);
        sky = mix(sky, hexColour(0x6a2a8a), cloud * 0.45f);
        // A thin glowing ring behind the title.
        float r = std::sqrt(x * x + (y - 0.02f) * (y - 0.02f));
        float ring = std::exp(-std::pow((r - 0.74f) / 0.012f, 2.0f)) +
                     0.35f * std::exp(-std::pow((r - 0.74f) / 0.06f, 2.0f));
        sky.r += ring * 0.55f;
        sky.g += ring * 0.75f;
        sky.b += ring * 1.0f;
        return sky;
    });
    scatterStars(canvas, 5u, 160, hexColour(0xa0c0ff));

    LetterStyle small = plainStyle(0xffffff, 0xc8d8ff, 0x0a0620, 2.0f);
    small.glow = hexColour(0x6080ff, 0.8f);
    small.glowRadius = 4.0f;
    letter(canvas, "OrB", 0.0f, 0.7f, 1.0f, 0.2f, small);
    letter(canvas, "PRESENTS", 0.0f, 0.47f, 1.2f, 0.1f, small);

    LetterStyle title = plainStyle(0xffffff, 0x3a78ff, 0x04031a, 4.0f);
    title.highlight = {1.0f, 1.0f, 1.0f, 0.9f};
    title.glow = hexColour(0x40a0ff, 0.9f);
    title.glowRadius = 8.0f;
    letter(canvas, "VEXA", 0.0f, 0.0f, 2.0f, 0.5f, title, 0.15f);

    LetterStyle footer = plainStyle(0xffe0a0, 0xff8a30, 0x100404, 2.0f);
    letter(canvas, "NORDMEET 2001", 0.0f, -0.7f, 1.5f, 0.1f, footer);
    return canvas;
}

Canvas paintOwns()
{
    // Bright lines on black, so that the three colour passes of Decompose
    // show clear fringes where they drift apart.
    Canvas canvas = shadePixels(pictureSize, pictureSize, 2, [](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        float r = std::sqrt(x * x + y * y);
        float angle = std::atan2(y, x);
        float waves = std::cos(r * 22.0f - 0.8f * std::sin(angle * 3.0f));
        float line = std::pow(clamp01(waves), 8.0f);
        Colour hue = hueColour(angle / (2.0f * pi) + r * 0.25f);
        float fade = clamp01(1.25f - r * 0.55f) * smoothstep(0.08f, 0.25f, r);
        Colour base = mix(hexColour(0x06061a), hexColour(0x1a0830), clamp01(r * 0.5f));
        return Colour{base.r + hue.r * line * fade, base.g + hue.g * line * fade, base.b + hue.b * line * fade, 1.0f};
    });
    LetterStyle big = plainStyle(0xffffff, 0xd8e0ff, 0x000000, 5.0f);
    big.highlight = {1.0f, 1.0f, 1.0f, 0.0f};
    big.glow = hexColour(0xffffff, 0.5f);
    big.glowRadius = 10.0f;
    letter(canvas, "OrB", 0.0f, 0.22f, 2.0f, 0.78f, big);
    letter(canvas, "OWNS", 0.0f, -0.58f, 1.8f, 0.3f, big);
    return canvas;
}

Canvas paintStopOrb()
{
    constexpr float signX = 0.0f;
    constexpr float signY = 0.22f;
    constexpr float apothem = 0.56f; // centre to the middle of a side
    Canvas canvas = shadePixels(pictureSize, pictureSize, 4, [](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        // Sky with clouds above a field.
        Colour colour = ramp({{-0.5f, hexColour(0xc8e4f8)}, {1.0f, hexColour(0x2a68c8)}}, y);
        float cloud = smoothstep(0.05f, 0.45f, fractalNoise(x * 1.3f, y * 2.6f, 5, 23u) + 0.1f * y);
        colour = mix(colour, hexColour(0xffffff), cloud * 0.85f);
        float horizon = -0.55f + 0.04f * std::sin(x * 2.0f);
        if (y < horizon) {
            float grass = fractalNoise(x * 8.0f, y * 20.0f, 3, 29u);
            colour = mix(hexColour(0x4a9a30), hexColour(0x2a6a18), clamp01((horizon - y) * 1.5f + grass * 0.3f));
        }
        // The post, round: lit on its left.
        if (std::abs(x - signX) < 0.04f && y < signY) {
            float across = (x - signX) / 0.04f;
            colour = scaled(hexColour(0xb0b8c0), 0.55f + 0.45f * std::sqrt(1.0f - across * across) - 0.2f * across);
        }
        // The octagon: the largest projection on the eight side directions.
        float dx = x - signX;
        float dy = y - signY;
        float distance = -10.0f;
        for (int side = 0; side < 8; ++side) {
            float angle = side * pi / 4.0f;
            distance = std::max(distance, dx * std::cos(angle) + dy * std::sin(angle));
        }
        if (distance < apothem + 0.012f) {
            if (distance > apothem)
                colour = hexColour(0x50505a); // metal rim
            else if (distance > apothem - 0.05f)
                colour = hexColour(0xf8f8f8); // white border
            else
                colour = mix(hexColour(0xe02020), hexColour(0x901010), clamp01((0.5f - dy + dx * 0.5f) * 0.8f));
            // A soft sheen across the upper left.
            float sheen = clamp01(1.0f - std::abs(dx + dy - 0.3f) / 0.35f);
            colour = mix(colour, hexColour(0xffffff), 0.12f * sheen);
        }
        return colour;
    });
    LetterStyle white = plainStyle(0xffffff, 0xf0f0f0, 0x600808, 1.5f);
    letter(canvas, "STOP", signX, signY + 0.1f, 0.82f, 0.36f, white);
    letter(canvas, "OrB", signX, signY - 0.27f, 0.5f, 0.2f, white);
    return canvas;
}

Canvas paintThanks()
{
    Canvas canvas = shadePixels(pictureSize, pictureSize, 3, [](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py) - 0.1f;
        float angle = std::atan2(y, x);
        float r = std::sqrt(x * x + y * y);
        float ray = smoothstep(-0.08f, 0.08f, std::sin(angle * 14.0f + r * 0.6f));
        Colour colour = mix(hexColour(0xff7a18), hexColour(0xffc83a), ray);
        colour = mix(colour, hexColour(0xfff4d0), std::exp(-r * r * 6.0f));
        return mix(colour, hexColour(0x600a10), smoothstep(0.6f, 1.7f, r));
    });
    LetterStyle big = plainStyle(0xffffff, 0xffd870, 0x3a0808, 4.0f);
    big.highlight = {1.0f, 1.0f, 1.0f, 0.0f};
    big.shadow = {0.2f, 0.0f, 0.0f, 0.7f};
    big.shadowOffset = 6.0f;
    letter(canvas, "BEDANKT", 0.0f, 0.12f, 2.4f, 0.52f, big, 0.12f);
    LetterStyle small = plainStyle(0xffffff, 0xfff0c0, 0x3a0808, 2.0f);
    small.shadow = {0.2f, 0.0f, 0.0f, 0.6f};
    small.shadowOffset = 3.0f;
    letter(canvas, "VOOR HET KIJKEN", 0.0f, -0.45f, 1.8f, 0.12f, small);
    letter(canvas, "- OrB -", 0.0f, -0.74f, 0.9f, 0.12f, small);
    return canvas;
}

Canvas paintAsciiArt()
{
    // A text screen of 42 x 32 cells of 6 x 8 pixels: a ringed planet drawn
    // in characters of rising ink, green on black, with a title line.
    constexpr int cellWidth = glyphWidth + 1;
    constexpr int cellHeight = glyphHeight + 1;
    constexpr int columns = pictureSize / cellWidth;
    constexpr int rows = pictureSize / cellHeight;
    constexpr int left = (pictureSize - columns * cellWidth) / 2;
    const char* inks = " .:-=+*#%@";
    const char* title = "OrB TEXTMODE DIVISION";
    const char* footer = "NORDMEET 2001";

    Mask ink(pictureSize, pictureSize);
    Mask level(pictureSize, pictureSize);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            float px = left + column * cellWidth + cellWidth / 2.0f;
            float py = row * cellHeight + cellHeight / 2.0f;
            float x = frame.x(px) - 0.1f;
            float y = frame.y(py) + 0.05f;
            char code = ' ';
            float brightness = 0.0f;
            int titleStart = (columns - 21) / 2;
            int footerStart = (columns - 13) / 2;
            if (row == 1 && column >= titleStart && column < titleStart + 21) {
                code = title[column - titleStart];
                brightness = 1.0f;
            } else if (row == rows - 2 && column >= footerStart && column < footerStart + 13) {
                code = footer[column - footerStart];
                brightness = 0.8f;
            } else if (row > 2 && row < rows - 3) {
                Normal n;
                float tilt = 0.35f;
                float rx = x * std::cos(tilt) + y * std::sin(tilt);
                float ry = -x * std::sin(tilt) + y * std::cos(tilt);
                float ellipse = std::sqrt(rx * rx / (1.15f * 1.15f) + ry * ry / (0.26f * 0.26f));
                bool onRing = ellipse > 0.78f && ellipse < 1.0f;
                bool ringInFront = ry < 0.0f;
                float shade = -1.0f;
                if (sphereNormal(x, y, 0.62f, n))
                    shade = 0.08f + 0.92f * diffuseLight(n) + 0.3f * specularLight(n, 20.0f);
                if (onRing && (ringInFront || shade < 0.0f))
                    shade = 0.35f + 0.4f * std::cos(ellipse * 30.0f) * 0.5f + 0.25f;
                if (shade >= 0.0f) {
                    code = inks[std::clamp(static_cast<int>(shade * 9.99f), 1, 9)];
                    brightness = 0.45f + 0.55f * clamp01(shade);
                } else {
                    // A few faint stars in the empty sky.
                    RandomSequence sky(static_cast<uint32_t>(row * 97 + column));
                    float chance = sky.uniform();
                    code = chance < 0.012f ? '*' : chance < 0.06f ? '.' : ' ';
                    brightness = 0.5f;
                }
            }
            for (int gy = 0; gy < glyphHeight; ++gy)
                for (int gx = 0; gx < glyphWidth; ++gx)
                    if (glyphPixel(code, gx, gy)) {
                        int x0 = left + column * cellWidth + gx;
                        int y0 = row * cellHeight + gy;
                        ink.at(x0, y0) = 1.0f;
                        level.at(x0, y0) = brightness;
                    }
        }

    Mask halo = blurred(ink, 1.6f);
    Canvas canvas(pictureSize, pictureSize, hexColour(0x020a04));
    Colour phosphor = hexColour(0x50ff70);
    for (int y = 0; y < pictureSize; ++y)
        for (int x = 0; x < pictureSize; ++x) {
            float scanline = y % 2 == 0 ? 1.0f : 0.82f;
            canvas.addLight(x, y, hexColour(0x10a030), halo.at(x, y) * 0.7f * scanline);
            canvas.addLight(x, y, phosphor, ink.at(x, y) * level.at(x, y) * scanline);
        }
    return canvas;
}
