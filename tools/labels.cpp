// Labels that float over other pictures: the greeted groups' names and the
// greetings heading (the Text effect draws them as 50 x 25 rectangles,
// blended by their alpha), Jordan's emblem, and the two faces of the
// Vierkant sheet, which is drawn additively over black.
#include "demo_images.h"
#include "lettering.h"
#include "procedural.h"

#include <cmath>

namespace {

constexpr int labelWidth = 256; // the label rectangle is twice as wide as high
constexpr int labelHeight = 128;

struct GroupLook {
    const char* name; // fictional groups of the demo's world
    unsigned top;
    unsigned bottom;
    unsigned glow;
};

constexpr GroupLook groups[10] = {
    {"NEONMOSS", 0xd8ffb0, 0x2fa83a, 0x3cff6e},  {"BITKRAAN", 0xfff2a8, 0xe07a10, 0xff9a2a},
    {"ZEEFBAND", 0xc8f4ff, 0x2a7ee0, 0x40b0ff},  {"POLYKAT", 0xffd0f0, 0xc02a9a, 0xff4ad0},
    {"VOXELBOER", 0xfff0c0, 0xb85a20, 0xffb040}, {"KOPPIG", 0xe0d8ff, 0x5a3ad0, 0x8a6aff},
    {"STIPPEL", 0xffe0e0, 0xd02a2a, 0xff5a4a},   {"SINEFJORD", 0xd0fff8, 0x1a9a98, 0x30f0e0},
    {"GLIMWORM", 0xf8ffc0, 0x8aa81a, 0xd8ff40},  {"TAPEDECK", 0xf0f0f0, 0x6a7a90, 0xb0c8ff},
};

// A label: the words in the middle of a transparent rectangle, with a dark
// rim and a soft coloured glow that stays inside the rectangle's edges.
Canvas paintLabel(const char* words, Colour top, Colour bottom, Colour glow)
{
    Canvas canvas(labelWidth, labelHeight, {glow.r, glow.g, glow.b, 0.0f});
    TextField text(words);
    TextPlacement place = fitText(text, labelWidth / 2.0f, labelHeight / 2.0f, 224.0f, 76.0f, 1.3f);
    place.slant = 0.18f;
    LetterStyle style;
    style.top = top;
    style.bottom = bottom;
    style.highlight = {1.0f, 1.0f, 1.0f, 0.75f};
    style.outline = {0.04f, 0.03f, 0.08f, 1.0f};
    style.outlineWidth = 3.0f;
    style.glow = {glow.r, glow.g, glow.b, 0.7f};
    style.glowRadius = 7.0f;
    drawLetters(canvas, text, place, style);
    return canvas;
}

} // namespace

Canvas paintGroupLabel(int group)
{
    const GroupLook& look = groups[(group - 1) % 10];
    return paintLabel(look.name, hexColour(look.top), hexColour(look.bottom), hexColour(look.glow));
}

Canvas paintGreetingsLabel()
{
    return paintLabel("GREETINGS", hexColour(0xffffff), hexColour(0xffc830), hexColour(0xff6a20));
}

namespace {

// The art laid over a soft halo of the given colour that follows its alpha.
Canvas withHalo(const Canvas& art, Colour halo, float radius, float strength)
{
    Mask alpha(art.width(), art.height());
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x)
            alpha.at(x, y) = art.at(x, y).a;
    Mask soft = blurred(alpha, radius);
    Canvas result(art.width(), art.height(), {halo.r, halo.g, halo.b, 0.0f});
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x) {
            result.over(x, y, halo, std::min(1.0f, soft.at(x, y) * strength));
            const Colour& c = art.at(x, y);
            result.over(x, y, {c.r, c.g, c.b, 1.0f}, c.a);
        }
    return result;
}

} // namespace

Canvas paintJordanEmblem()
{
    constexpr int size = 256;
    constexpr float centreX = 128.0f;
    constexpr float centreY = 100.0f;
    constexpr float radius = 66.0f;
    constexpr float tilt = -0.3f; // of the ring, in radians
    Canvas art = shadePixels(size, size, 3, [&](float x, float y) {
        float dx = x - centreX;
        float dy = centreY - y;
        // The ring: a flat ellipse about the orb, tilted; its lower half passes in front.
        float rx = dx * std::cos(tilt) - dy * std::sin(tilt);
        float ry = dx * std::sin(tilt) + dy * std::cos(tilt);
        float ellipse = std::sqrt((rx / 104.0f) * (rx / 104.0f) + (ry / 28.0f) * (ry / 28.0f));
        float band = 1.0f - std::abs(ellipse - 1.0f) / 0.09f;
        Colour ring{0.0f, 0.0f, 0.0f, 0.0f};
        if (band > 0.0f)
            ring = mix(hexColour(0x1a6aa0), hexColour(0xc8f8ff), band * (0.55f + 0.45f * rx / 104.0f * -1.0f));
        ring.a = band > 0.0f ? smoothstep(0.0f, 0.35f, band) : 0.0f;
        bool ringInFront = ry < 0.0f;

        Colour orb{0.0f, 0.0f, 0.0f, 0.0f};
        Normal n;
        if (sphereNormal(dx, dy, radius, n)) {
            float swirl = fractalNoise(dx / 30.0f + 3.0f * n.z, dy / 30.0f, 4, 71u);
            Colour base = ramp({{-0.6f, hexColour(0x1a0840)}, {0.0f, hexColour(0x5a1a9a)}, {0.6f, hexColour(0xd04ac0)}},
                               swirl + 0.3f * n.y);
            orb = scaled(base, 0.25f + 0.95f * diffuseLight(n));
            float rim = std::pow(1.0f - n.z, 3.0f);
            orb = mix(orb, hexColour(0x60e0ff), rim * 0.8f);
            orb = mix(orb, hexColour(0xffffff), specularLight(n, 60.0f));
            orb.a = 1.0f;
        }
        Colour result = ringInFront ? orb : ring;
        Colour front = ringInFront ? ring : orb;
        // "front" over "result" with straight alpha.
        float a = front.a + result.a * (1.0f - front.a);
        if (a <= 0.0f)
            return Colour{0.4f, 0.8f, 1.0f, 0.0f};
        auto blend = [&](float f, float r) { return (f * front.a + r * result.a * (1.0f - front.a)) / a; };
        return Colour{blend(front.r, result.r), blend(front.g, result.g), blend(front.b, result.b), a};
    });

    LetterStyle logo;
    logo.top = hexColour(0xffffff);
    logo.bottom = hexColour(0xb8e8ff);
    logo.highlight = {1.0f, 1.0f, 1.0f, 0.0f};
    logo.outline = hexColour(0x10062a);
    logo.outlineWidth = 3.0f;
    TextField orbName("OrB");
    drawLetters(art, orbName, fitText(orbName, centreX, centreY + 4.0f, 108.0f, 60.0f, 1.2f), logo);

    LetterStyle name;
    name.top = hexColour(0xfff4c0);
    name.bottom = hexColour(0xe09a20);
    name.highlight = {1.0f, 1.0f, 1.0f, 0.6f};
    name.outline = hexColour(0x201008);
    name.outlineWidth = 3.0f;
    TextField jordan("JORDAN");
    drawLetters(art, jordan, fitText(jordan, centreX, 214.0f, 210.0f, 44.0f, 1.2f), name);
    // Painted mirrored: the effect turns the square once as it crosses, so it
    // shows its back in the middle half of the crossing, where it is seen
    // whole at the centre of the screen; there the emblem reads the right
    // way round, and mirrored only near the edges, half off the screen.
    art.flipHorizontal();
    return withHalo(art, hexColour(0x8a4aff), 6.0f, 0.9f);
}

Canvas paintSheetFace(bool up)
{
    // Drawn as the face is seen on screen, then turned into the sheet's
    // texture space: the sheet's texture runs a quarter turn round (s grows
    // down the screen, t to the left), and the back face is seen mirrored.
    constexpr int size = 128;
    Colour core = up ? hexColour(0xffd080) : hexColour(0xa0f0ff);
    Colour glow = up ? hexColour(0xff5a20) : hexColour(0x2080ff);
    Canvas shapes = shadePixels(size, size, 4, [&](float x, float y) {
        // A rounded frame along the sheet's edge.
        float ex = std::max(std::abs(x - 64.0f) - 46.0f, 0.0f);
        float ey = std::max(std::abs(y - 64.0f) - 46.0f, 0.0f);
        float corner = std::sqrt(ex * ex + ey * ey);
        bool frame = std::abs(corner - 10.0f) < 2.0f && (ex > 0.0f || ey > 0.0f || corner > 0.0f);
        // An arrow in the upper half, pointing the face's way.
        float ay = up ? 84.0f - y : y;
        bool arrow = (std::abs(x - 64.0f) < 7.0f && ay > 16.0f && ay < 44.0f) ||
                     insidePolygon({{38.0f, 42.0f}, {90.0f, 42.0f}, {64.0f, 68.0f}}, x, ay);
        return Colour{1.0f, 1.0f, 1.0f, frame || arrow ? 1.0f : 0.0f};
    });
    Mask lit(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            lit.at(x, y) = shapes.at(x, y).a;
    TextField word(up ? "UP" : "DOWN");
    Mask letters = textMask(word, fitText(word, 64.0f, 96.0f, 84.0f, 24.0f, 1.2f), size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            lit.at(x, y) = std::max(lit.at(x, y), letters.at(x, y));
    Mask halo = blurred(lit, 4.0f);

    Canvas screen(size, size, {0.0f, 0.0f, 0.0f, 1.0f});
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            screen.addLight(x, y, glow, std::min(1.0f, halo.at(x, y) * 1.5f));
            screen.addLight(x, y, core, lit.at(x, y));
        }

    Canvas face(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            face.at(x, y) = up ? screen.at(y, x) : screen.at(size - 1 - y, x);
    return face;
}
