// Full-screen scenes of the Quad effect: a mug of beer, mountains, the
// globe and a crystal orb. Painted in ScreenFrame units like the title cards.
#include "demo_images.h"
#include "lettering.h"
#include "procedural.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int pictureSize = 256;
const ScreenFrame frame{pictureSize};

} // namespace

Canvas paintBeer()
{
    // The glass: a slightly tapered beaker with a handle on its right.
    constexpr float glassTop = 0.3f;
    constexpr float glassBottom = -0.78f;
    auto halfWidth = [](float y) { return 0.4f + 0.04f * (y - glassBottom) / (glassTop - glassBottom); };
    Canvas canvas = shadePixels(pictureSize, pictureSize, 3, [&](float px, float py) {
        float x = frame.x(px) + 0.08f;
        float y = frame.y(py);
        // A warm pub wall with a lamp's glow, and a wooden table top below.
        float lamp = std::exp(-((x + 0.6f) * (x + 0.6f) + (y - 0.7f) * (y - 0.7f)) * 1.2f);
        Colour colour = mix(hexColour(0x2a1206), hexColour(0xc06a20), lamp);
        if (y < -0.62f) {
            float grain = fractalNoise(x * 1.5f, y * 28.0f, 4, 41u);
            colour = mix(hexColour(0x5a2c10), hexColour(0x8a4a1c), clamp01(0.5f + grain * 1.2f));
            colour = scaled(colour, 0.8f + 0.3f * (y + 1.0f));
        }
        // The mug's shadow on the table.
        float shadow = std::exp(-std::pow((x - 0.25f) / 0.6f, 2.0f) - std::pow((y + 0.8f) / 0.07f, 2.0f));
        colour = scaled(colour, 1.0f - 0.55f * shadow);

        // Handle: a thick ring, of glass over the wall.
        float hx = x - 0.46f;
        float hy = y + 0.22f;
        float handle = std::sqrt(hx * hx / (0.3f * 0.3f) + hy * hy / (0.34f * 0.34f));
        if (hx > 0.0f && handle > 0.62f && handle < 1.0f) {
            float across = (handle - 0.81f) / 0.19f;
            colour = mix(colour, hexColour(0xe8f0e0), 0.35f + 0.5f * std::pow(1.0f - std::abs(across), 4.0f));
        }

        float w = halfWidth(y);
        bool inGlass = y > glassBottom && y < glassTop && std::abs(x) < w;
        if (inGlass) {
            float across = x / w;
            // Beer: deep amber at the bottom to golden at the top, darker at the sides.
            Colour beer = ramp(
                {{glassBottom, hexColour(0x8a3a04)}, {0.0f, hexColour(0xd88a10)}, {glassTop, hexColour(0xf8c040)}}, y);
            beer = scaled(beer, 1.0f - 0.35f * across * across);
            // Rising bubbles in a few columns.
            RandomSequence bubbles(7u);
            for (int bubble = 0; bubble < 60; ++bubble) {
                float bx = bubbles.between(-0.36f, 0.36f);
                float by = bubbles.between(glassBottom + 0.05f, glassTop - 0.02f);
                float br = bubbles.between(0.008f, 0.022f);
                float d = std::sqrt((x - bx) * (x - bx) + (y - by) * (y - by));
                if (d < br)
                    beer = mix(beer, hexColour(0xfff0b0), d > br * 0.55f ? 0.8f : 0.3f);
            }
            // Glass: bright streaks of reflected light and a thick base.
            float streak = std::exp(-std::pow((across + 0.62f) / 0.08f, 2.0f)) +
                           0.5f * std::exp(-std::pow((across - 0.7f) / 0.05f, 2.0f));
            beer = mix(beer, hexColour(0xffffff), 0.7f * streak);
            if (y < glassBottom + 0.07f)
                beer = mix(beer, hexColour(0xd0e0c8), 0.45f);
            if (std::abs(across) > 0.95f)
                beer = mix(beer, hexColour(0xf0f8e8), 0.6f);
            colour = beer;
        }
        // Foam: a bumpy white head that spills a little over the rim.
        float bumps = 0.045f * std::abs(std::sin(x * 9.0f)) + 0.025f * std::sin(x * 17.0f + 1.0f);
        float foamTop = glassTop + 0.16f + bumps;
        if (y > glassTop - 0.1f && y < foamTop && std::abs(x) < w + 0.05f + 0.03f * std::sin(x * 9.0f)) {
            float pores = fractalNoise(x * 18.0f, y * 18.0f, 3, 47u);
            float depth = (foamTop - y) / 0.26f;
            colour = mix(hexColour(0xfffaf0), hexColour(0xd8c8a0), clamp01(depth * 0.6f + pores * 0.5f));
        }
        return colour;
    });
    LetterStyle cheers;
    cheers.top = hexColour(0xfff4c8);
    cheers.bottom = hexColour(0xf0a020);
    cheers.outline = hexColour(0x200800);
    cheers.outlineWidth = 3.0f;
    cheers.highlight = {1.0f, 1.0f, 1.0f, 0.6f};
    cheers.shadow = {0.0f, 0.0f, 0.0f, 0.6f};
    cheers.shadowOffset = 4.0f;
    TextField text("PROOST!");
    TextPlacement place = frame.fit(text, 0.0f, 0.78f, 1.6f, 0.26f);
    place.slant = 0.2f;
    drawLetters(canvas, text, place, cheers);
    return canvas;
}

Canvas paintTibet()
{
    // Four ranges from far to near; each is a ridge line of ridged noise.
    struct Range {
        float base;   // height of the valleys
        float height; // height of the peaks above them
        float scale;  // horizontal detail
        uint32_t seed;
        Colour rock;
        float haze; // how much of the sky colour the distance adds
        bool snowy;
    };
    const Range ranges[] = {
        {0.0f, 0.65f, 1.3f, 61u, hexColour(0x6a7aa8), 0.5f, true},
        {-0.25f, 0.6f, 1.7f, 67u, hexColour(0x4a5a88), 0.32f, true},
        {-0.5f, 0.45f, 2.2f, 71u, hexColour(0x3a4060), 0.15f, true},
        {-0.8f, 0.3f, 2.8f, 73u, hexColour(0x4a3a2a), 0.0f, false},
    };
    auto ridge = [](const Range& range, float x) {
        // Sharp crests where the noise crosses zero, with finer broken detail.
        float crest = 1.0f - std::abs(fractalNoise(x * range.scale, 0.5f, 2, range.seed));
        float detail = fractalNoise(x * range.scale * 4.0f, 1.5f, 4, range.seed + 1u);
        return range.base + range.height * (crest * crest * crest + 0.12f * detail);
    };
    // Ridges and gullies down the mountain faces, as ridged noise.
    auto face = [](const Range& range, float x, float y) {
        return 1.0f - std::abs(fractalNoise(x * range.scale * 3.0f, y * range.scale * 2.0f, 4, range.seed + 2u));
    };
    Canvas canvas = shadePixels(pictureSize, pictureSize, 2, [&](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        // Sky from deep blue down to a warm horizon, a low sun.
        Colour sky = ramp({{-0.2f, hexColour(0xffd8a8)}, {0.3f, hexColour(0x8ab8e8)}, {1.0f, hexColour(0x1a3a8a)}}, y);
        float sunDistance = std::sqrt((x - 0.75f) * (x - 0.75f) + (y - 0.55f) * (y - 0.55f));
        sky = mix(sky, hexColour(0xfff8e0), std::exp(-sunDistance * 9.0f) + (sunDistance < 0.07f ? 1.0f : 0.0f));
        Colour colour = sky;
        for (const Range& range : ranges) {
            float top = ridge(range, x);
            if (y > top)
                continue;
            // Light comes from the right: faces that rise towards it are lit.
            constexpr float step = 0.004f;
            float slope = (face(range, x + step, y) - face(range, x - step, y)) / (2.0f * step);
            float light = clamp01(0.5f + 0.08f * slope / range.scale);
            Colour rock = scaled(range.rock, 0.65f + 0.7f * light);
            // Snow on the upper part of every peak, reaching down the gullies.
            float snowLine = range.base + range.height * 0.42f + 0.1f * face(range, x, y);
            if (range.snowy && y > snowLine)
                rock = mix(hexColour(0x9ab0d8), hexColour(0xffffff), light);
            colour = mix(rock, sky, range.haze);
        }
        return colour;
    });
    // Prayer flags strung across the foreground.
    const unsigned flagColours[] = {0x2a5ad0, 0xf0f0f0, 0xd02a2a, 0x2a9a3a, 0xf0c020};
    Canvas flags = shadePixels(pictureSize, pictureSize, 3, [&](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        // The string sags between its ends.
        float t = (x + 1.34f) / 2.68f;
        float line = -0.12f + 0.2f * t - 0.9f * t * (1.0f - t);
        float along = (x + 1.34f) / 0.12f;
        int flag = static_cast<int>(std::floor(along));
        float inFlag = along - flag;
        Colour none{0.0f, 0.0f, 0.0f, 0.0f};
        if (std::abs(y - line) < 0.006f)
            return hexColour(0x302020);
        if (flag >= 0 && inFlag > 0.1f && inFlag < 0.85f && y < line && y > line - 0.09f)
            return scaled(hexColour(flagColours[flag % 5]), 0.85f + 0.15f * std::sin(inFlag * 6.0f + flag));
        return none;
    });
    for (int y = 0; y < pictureSize; ++y)
        for (int x = 0; x < pictureSize; ++x) {
            const Colour& c = flags.at(x, y);
            canvas.over(x, y, {c.r, c.g, c.b, 1.0f}, c.a);
        }
    return canvas;
}

Canvas paintWorld()
{
    constexpr float radius = 0.84f;
    constexpr float spin = 0.6f; // longitude turned to the front, radians
    Canvas canvas = shadePixels(pictureSize, pictureSize, 3, [](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        float r = std::sqrt(x * x + y * y);
        // Outside: the blue haze of the atmosphere fading into space.
        Colour space{0.0f, 0.0f, 0.02f, 1.0f};
        Normal n;
        if (!sphereNormal(x, y, radius, n)) {
            float haze = std::exp(-(r - radius) * 22.0f);
            return mix(space, hexColour(0x4a9aff), 0.8f * haze);
        }
        // Tilt the globe a little, then read latitude and longitude.
        float tilt = 0.35f;
        float ny = n.y * std::cos(tilt) - n.z * std::sin(tilt);
        float nz = n.y * std::sin(tilt) + n.z * std::cos(tilt);
        float latitude = std::asin(std::clamp(ny, -1.0f, 1.0f));
        float longitude = std::atan2(n.x, nz) + spin;
        float u = longitude / (2.0f * pi) * 8.0f;
        float v = latitude / pi * 4.0f;
        // Lands of the demo's own world; the lattice wraps once round the globe.
        float land = fractalNoise(u, v + 10.0f, 6, 83u, 8) - 0.04f;
        float polar = std::abs(latitude) / (pi / 2.0f);
        Colour surface;
        if (polar + 0.08f * fractalNoise(u * 3.0f, v * 3.0f, 2, 89u, 24) > 0.82f)
            surface = hexColour(0xf0f6ff);
        else if (land > 0.0f)
            surface = ramp({{0.0f, hexColour(0xd8c888)},
                            {0.04f, hexColour(0x3a8a2a)},
                            {0.2f, hexColour(0x6a7a2a)},
                            {0.32f, hexColour(0x8a6a4a)}},
                           land + 0.25f * polar);
        else
            surface = ramp({{-0.45f, hexColour(0x061a5a)}, {-0.06f, hexColour(0x0a3a9a)}, {0.0f, hexColour(0x2a8ac8)}},
                           land);
        float clouds = smoothstep(0.05f, 0.4f, fractalNoise(u * 1.5f + 3.0f, v * 2.5f, 5, 97u, 12));
        surface = mix(surface, hexColour(0xffffff), clouds * 0.85f);
        float light = diffuseLight(n);
        Colour colour = scaled(surface, 0.06f + 1.0f * light);
        if (land <= 0.0f && clouds < 0.2f)
            colour = mix(colour, hexColour(0xffffff), 0.6f * specularLight(n, 40.0f));
        // The atmosphere thickens towards the rim.
        return mix(colour, hexColour(0x6ab0ff), 0.7f * std::pow(1.0f - n.z, 3.0f) * (0.3f + light));
    });
    // Stars only in the black of space.
    Canvas stars(pictureSize, pictureSize, {0.0f, 0.0f, 0.0f, 1.0f});
    scatterStars(stars, 13u, 140, hexColour(0xc0d0ff));
    for (int y = 0; y < pictureSize; ++y)
        for (int x = 0; x < pictureSize; ++x) {
            float sx = frame.x(x + 0.5f);
            float sy = frame.y(y + 0.5f);
            float outside = smoothstep(radius + 0.02f, radius + 0.12f, std::sqrt(sx * sx + sy * sy));
            canvas.addLight(x, y, stars.at(x, y), outside);
        }
    return canvas;
}

Canvas paintYourOrb()
{
    constexpr float orbY = 0.12f;
    constexpr float radius = 0.52f;
    Canvas canvas = shadePixels(pictureSize, pictureSize, 3, [](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        // A dark room lit from above, a cloth-covered table.
        Colour colour = mix(hexColour(0x0a0618), hexColour(0x3a1a5a),
                            std::exp(-(x * x + (y - 0.1f) * (y - 0.1f)) * 1.4f));
        if (y < -0.55f)
            colour = mix(hexColour(0x4a0a2a), hexColour(0x1a0410), clamp01((-0.55f - y) * 2.0f));
        // The stand: a brass foot under the orb, standing on the table.
        float standTop = orbY - radius + 0.08f;
        float standBottom = -0.58f;
        float standHalf = 0.16f + 0.12f * (standTop - y) / (standTop - standBottom);
        if (y < standTop && y > standBottom && std::abs(x) < standHalf) {
            float across = x / standHalf;
            colour = scaled(hexColour(0xd8a040), 0.45f + 0.6f * (1.0f - across * across) - 0.25f * across);
            if (std::fmod(standTop - y, 0.1f) < 0.012f)
                colour = scaled(colour, 0.6f);
        }
        Normal n;
        if (sphereNormal(x, y - orbY, radius, n)) {
            // Glowing mist swirling inside the glass.
            float r = std::sqrt(n.x * n.x + n.y * n.y);
            float swirlAngle = 2.8f * (1.0f - r);
            float sx = n.x * std::cos(swirlAngle) - n.y * std::sin(swirlAngle);
            float sy = n.x * std::sin(swirlAngle) + n.y * std::cos(swirlAngle);
            float mist = fractalNoise(sx * 2.5f + 1.0f, sy * 2.5f, 5, 101u);
            Colour inside = ramp({{-0.5f, hexColour(0x10042a)},
                                  {0.0f, hexColour(0x6a1ab0)},
                                  {0.35f, hexColour(0xe070ff)},
                                  {0.6f, hexColour(0xffffff)}},
                                 mist + 0.35f * (1.0f - r));
            // Glass: a dark rim, a bright window highlight at the upper left.
            inside = mix(inside, hexColour(0x0a0418), 0.7f * std::pow(1.0f - n.z, 2.0f));
            inside = mix(inside, hexColour(0xffffff), 0.9f * specularLight(n, 80.0f));
            inside = mix(inside, hexColour(0xb0e8ff), 0.5f * std::pow(1.0f - n.z, 6.0f));
            colour = inside;
        } else {
            // A glow around the orb in the air.
            float d = std::sqrt(x * x + (y - orbY) * (y - orbY)) - radius;
            if (d > 0.0f)
                colour = mix(colour, hexColour(0xa040ff), 0.55f * std::exp(-d * 9.0f));
        }
        return colour;
    });
    LetterStyle style;
    style.top = hexColour(0xffffff);
    style.bottom = hexColour(0xd0a0ff);
    style.outline = hexColour(0x12041e);
    style.outlineWidth = 3.0f;
    style.highlight = {1.0f, 1.0f, 1.0f, 0.0f};
    style.glow = hexColour(0xb060ff, 0.8f);
    style.glowRadius = 6.0f;
    TextField top("THIS IS");
    drawLetters(canvas, top, frame.fit(top, 0.0f, 0.82f, 1.0f, 0.13f), style);
    TextField bottom("YOUR OrB");
    drawLetters(canvas, bottom, frame.fit(bottom, 0.0f, -0.78f, 2.0f, 0.27f), style);
    return canvas;
}
