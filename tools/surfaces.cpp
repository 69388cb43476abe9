// Textures wrapped round the effects' own geometry (balls, cones, planes, a
// screen-filling mesh), the star sprite, and the little picture that Puntjes
// turns into a cloud of points. Textures that wrap round a GLU sphere or cone
// tile horizontally, as the seam of the quadric's s coordinate needs.
#include "demo_images.h"
#include "lettering.h"
#include "procedural.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int textureSize = 256;

// Continuous pixel coordinates as fractions of the texture, 0 to 1.
float across(float px)
{
    return px / textureSize;
}

} // namespace

Canvas paintOuterBall()
{
    // Bobel's translucent outer ball (drawn with a colour alpha of 0.2 over
    // the inner one), Weights' bar and Draaiding's surfaces: swirling bands
    // of ice blue; the alpha picks the bands out of the translucent shell.
    return shadePixels(textureSize, textureSize, 2, [](float px, float py) {
        float s = across(px);
        float t = across(py);
        float warp = fractalNoise(s * 4.0f, t * 4.0f, 4, 151u, 4);
        float bands = 0.5f + 0.5f * std::sin(2.0f * pi * (3.0f * s + 2.0f * t) + 3.0f * warp);
        float fine = 0.5f + 0.5f * std::sin(2.0f * pi * (8.0f * s - 5.0f * t) + 2.0f * warp);
        Colour colour = ramp({{0.0f, hexColour(0x0a2a6a)},
                              {0.5f, hexColour(0x2a8ae0)},
                              {0.85f, hexColour(0x9af0ff)},
                              {1.0f, hexColour(0xffffff)}},
                             bands * 0.8f + fine * 0.2f);
        colour.a = 0.3f + 0.7f * std::pow(bands, 1.5f);
        return colour;
    });
}

Canvas paintInnerBall()
{
    // Bobel's lit inner ball and the balls of Weights: molten gold and red marble.
    return shadePixels(textureSize, textureSize, 2, [](float px, float py) {
        float s = across(px);
        float t = across(py);
        float warp = fractalNoise(s * 6.0f, t * 6.0f, 5, 157u, 6);
        float veins = std::sin(2.0f * pi * (2.0f * s) + t * 9.0f + 5.0f * warp);
        float marble = 1.0f - std::pow(std::abs(veins), 0.35f);
        Colour colour = ramp({{0.0f, hexColour(0x7a1004)},
                              {0.45f, hexColour(0xd8420a)},
                              {0.8f, hexColour(0xffb020)},
                              {1.0f, hexColour(0xfff0a0)}},
                             0.35f + 0.35f * warp + 0.6f * marble);
        return colour;
    });
}

Canvas paintBubbles()
{
    // Bubble's big sphere (modulated at half brightness) and Sphere's teapot
    // (decal: the base colour shows where the texture is transparent).
    // Soap bubbles on a sea-green ground: the bubbles are opaque, the ground
    // between them clear.
    struct Bubble {
        float s, t, radius;
        float hue;
    };
    std::vector<Bubble> bubbles;
    RandomSequence random(163u);
    for (int attempt = 0; attempt < 4000 && bubbles.size() < 70; ++attempt) {
        Bubble b{random.uniform(), random.between(0.08f, 0.92f), random.between(0.03f, 0.11f), random.uniform()};
        bool free = true;
        for (const Bubble& other : bubbles) {
            float ds = std::abs(b.s - other.s);
            ds = std::min(ds, 1.0f - ds); // the texture wraps round in s
            float dt = b.t - other.t;
            free = free && std::sqrt(ds * ds + dt * dt) > b.radius + other.radius + 0.012f;
        }
        if (free)
            bubbles.push_back(b);
    }
    return shadePixels(textureSize, textureSize, 3, [&](float px, float py) {
        float s = across(px);
        float t = across(py);
        float swell = fractalNoise(s * 5.0f, t * 5.0f, 3, 167u, 5);
        Colour colour = mix(hexColour(0x04303a), hexColour(0x0a6a6a), 0.5f + 0.5f * swell);
        colour.a = 0.0f;
        for (const Bubble& b : bubbles) {
            float ds = s - b.s;
            ds -= std::round(ds);
            float dt = t - b.t;
            float d = std::sqrt(ds * ds + dt * dt) / b.radius;
            if (d >= 1.0f)
                continue;
            // Thin-film colours in rings, a bright rim and a window highlight.
            Colour film = hueColour(b.hue + d * 0.6f);
            Colour body = mix(hexColour(0x60e0ff), film, 0.5f);
            body = scaled(body, 0.55f + 0.45f * d * d);
            float rim = smoothstep(0.8f, 0.97f, d) * (1.0f - smoothstep(0.97f, 1.0f, d));
            body = mix(body, hexColour(0xffffff), 0.7f * rim);
            float hx = ds / b.radius + 0.38f;
            float hy = dt / b.radius + 0.38f;
            body = mix(body, hexColour(0xffffff), std::exp(-(hx * hx + hy * hy) * 40.0f));
            body.a = (1.0f - smoothstep(0.96f, 1.0f, d));
            return body;
        }
        return colour;
    });
}

Canvas paintCone()
{
    // Cone's translucent funnel, blended by this alpha. GLU's cones run t
    // from 0 at the base (the top row) to 1 at the rim: light streaks rise
    // from a bright base and fade towards the rim.
    return shadePixels(textureSize, textureSize, 2, [](float px, float py) {
        float s = across(px);
        float t = across(py);
        float streaks = 0.5f +
                        0.5f * std::sin(2.0f * pi * 12.0f * s + 2.0f * fractalNoise(s * 8.0f, t * 2.0f, 3, 173u, 8));
        float rings = 0.5f + 0.5f * std::sin(2.0f * pi * 6.0f * t);
        Colour colour = ramp({{0.0f, hexColour(0xffffff)},
                              {0.3f, hexColour(0x60f0ff)},
                              {0.7f, hexColour(0x6a3aff)},
                              {1.0f, hexColour(0xd040ff)}},
                             t);
        colour = mix(colour, hexColour(0xffffff), 0.4f * std::pow(streaks, 6.0f));
        colour.a = clamp01((1.0f - 0.75f * t) * (0.45f + 0.4f * streaks + 0.15f * rings));
        return colour;
    });
}

Canvas paintPlane(bool second)
{
    // Planes' two tall slanted planes. The texture slides sideways over
    // them, so it tiles in s; it is stretched about twice in height. Panels
    // of light between dark seams, with a scan of bright dots.
    Colour dark = second ? hexColour(0x2a0804) : hexColour(0x04102a);
    Colour mid = second ? hexColour(0xc0401a) : hexColour(0x1a5ac0);
    Colour light = second ? hexColour(0xffd080) : hexColour(0x90f0ff);
    uint32_t seed = second ? 181u : 179u;
    Canvas canvas = shadePixels(textureSize, textureSize, 2, [&](float px, float py) {
        float s = across(px);
        float t = across(py);
        // Panels: eight columns of uneven rows.
        constexpr int columns = 8;
        int column = static_cast<int>(s * columns);
        float rowScale = 6.0f + 4.0f * (0.5f + 0.5f * valueNoise(column * 1.7f, 0.3f, seed));
        int row = static_cast<int>(t * rowScale);
        float fs = s * columns - column;
        float ft = t * rowScale - row;
        float seam = std::min(std::min(fs, 1.0f - fs) * 3.0f, std::min(ft, 1.0f - ft) * 2.0f);
        float level = 0.5f + 0.5f * valueNoise(column * 3.1f + row * 7.3f, row * 1.9f, seed + 1u);
        Colour colour = mix(dark, mid, level * smoothstep(0.0f, 0.25f, seam));
        // A soft light sweeping down each panel.
        colour = mix(colour, light, 0.5f * std::pow(1.0f - ft, 3.0f) * level * smoothstep(0.0f, 0.2f, seam));
        // A row of glowing dots at the seams.
        float dot = std::exp(-(std::pow((fs - 0.5f) * 10.0f, 2.0f) + std::pow((ft - 0.9f) * 14.0f, 2.0f)));
        return mix(colour, light, dot);
    });
    canvas.flipVertical(); // the planes' t grows upwards
    return canvas;
}

Canvas paintStar()
{
    // Morph's star sprite, added with its alpha: a soft core and four long
    // and four short rays, fading to nothing before the edge (the sprite's
    // texture coordinates reach beyond 0 to 1).
    constexpr int size = 64;
    return shadePixels(size, size, 4, [](float px, float py) {
        float x = (px / size - 0.5f) * 2.0f;
        float y = (py / size - 0.5f) * 2.0f;
        float r = std::sqrt(x * x + y * y);
        float core = std::exp(-r * r * 40.0f) + 0.35f * std::exp(-r * r * 8.0f);
        float rays = std::exp(-std::abs(x) * 40.0f) * std::exp(-std::abs(y) * 3.0f) +
                     std::exp(-std::abs(y) * 40.0f) * std::exp(-std::abs(x) * 3.0f);
        float u = (x + y) * 0.7071f;
        float v = (x - y) * 0.7071f;
        float diagonals = 0.5f * (std::exp(-std::abs(u) * 50.0f) * std::exp(-std::abs(v) * 6.0f) +
                                  std::exp(-std::abs(v) * 50.0f) * std::exp(-std::abs(u) * 6.0f));
        float edge = 1.0f - smoothstep(0.75f, 0.98f, r);
        float intensity = clamp01((core + rays + diagonals) * edge);
        Colour colour = mix(hexColour(0x80b0ff), hexColour(0xffffff), clamp01(intensity * 1.5f));
        colour.a = intensity;
        return colour;
    });
}

Canvas paintShimmer()
{
    // Vlakje lays this over the whole screen with the colour-weighted blend
    // (source colour times itself, destination times one minus it): bright
    // rings show, dark troughs leave the scene below. Interference of two
    // ring systems, stored upside down because the mesh's t grows upwards.
    const ScreenFrame frame{textureSize};
    Canvas canvas = shadePixels(textureSize, textureSize, 2, [&](float px, float py) {
        float x = frame.x(px);
        float y = frame.y(py);
        float r1 = std::sqrt((x + 0.5f) * (x + 0.5f) + (y - 0.2f) * (y - 0.2f));
        float r2 = std::sqrt((x - 0.6f) * (x - 0.6f) + (y + 0.3f) * (y + 0.3f));
        float waves = std::sin(r1 * 30.0f) + std::sin(r2 * 26.0f);
        float level = std::pow(clamp01(waves * 0.5f), 1.5f);
        float hue = 0.55f + 0.25f * std::sin(x * 1.3f + y * 0.7f);
        Colour colour = mix(hueColour(hue), hexColour(0xffffff), 0.3f);
        float vignette = 1.0f - 0.6f * smoothstep(0.6f, 1.6f, std::sqrt(x * x + y * y));
        return scaled(colour, level * vignette);
    });
    canvas.flipVertical();
    return canvas;
}

Canvas paintGimp()
{
    // Puntjes turns these 51 x 43 pixels into coloured points and adds them
    // up (black adds nothing); the rows are spread over 51 units of height,
    // so the face is drawn on a 51 x 51 square and squeezed into 43 rows.
    constexpr int width = 51;
    constexpr int height = 43;
    return shadePixels(width, height, 4, [](float px, float py) {
        float x = px;
        float y = py * 51.0f / 43.0f; // square units, 0 to 51 down
        Colour black{0.0f, 0.0f, 0.0f, 1.0f};
        auto ellipse = [&](float cx, float cy, float rx, float ry) {
            float dx = (x - cx) / rx;
            float dy = (y - cy) / ry;
            return dx * dx + dy * dy < 1.0f;
        };
        // Pointed ears, the head, a pale muzzle, eyes, nose and a grin.
        bool leftEar = insidePolygon({{7.0f, 4.0f}, {22.0f, 16.0f}, {10.0f, 24.0f}}, x, y);
        bool rightEar = insidePolygon({{44.0f, 4.0f}, {29.0f, 16.0f}, {41.0f, 24.0f}}, x, y);
        bool innerEar = insidePolygon({{10.0f, 9.0f}, {19.0f, 17.0f}, {12.0f, 21.0f}}, x, y) ||
                        insidePolygon({{41.0f, 9.0f}, {32.0f, 17.0f}, {39.0f, 21.0f}}, x, y);
        bool head = ellipse(25.5f, 29.0f, 18.0f, 16.0f);
        if (!head && !leftEar && !rightEar)
            return black;
        if (!head)
            return innerEar ? hexColour(0xff9aa0) : hexColour(0xe8801a);
        Colour fur = mix(hexColour(0xffa030), hexColour(0xc85a10), clamp01((y - 14.0f) / 30.0f));
        if (ellipse(25.5f, 37.0f, 10.0f, 7.5f))
            fur = hexColour(0xfff0d8);
        for (float eyeX : {18.5f, 32.5f}) {
            if (ellipse(eyeX, 25.0f, 5.0f, 5.5f))
                fur = hexColour(0xffffff);
            if (ellipse(eyeX + 1.0f, 26.0f, 2.4f, 2.8f))
                return black;
            if (ellipse(eyeX - 1.6f, 23.0f, 1.2f, 1.2f))
                fur = hexColour(0xffffff);
        }
        if (ellipse(25.5f, 33.0f, 3.0f, 2.2f))
            return hexColour(0x402020);
        bool mouth = ellipse(25.5f, 38.5f, 6.0f, 3.6f) && y > 38.0f;
        if (mouth)
            return ellipse(25.5f, 41.5f, 3.5f, 2.0f) ? hexColour(0xff4a6a) : hexColour(0x802030);
        return fur;
    });
}
