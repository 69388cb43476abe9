// The generator's canvas, PNG writer, blur, noise and shading helpers.
#include "image_canvas.h"
#include "images.h"
#include "lettering.h"
#include "procedural.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

struct PngDeleter {
    void operator()(PngImage* image) const { freePng(image); }
};
using PngPtr = std::unique_ptr<PngImage, PngDeleter>;

void expectColour(const Colour& c, float r, float g, float b, float a)
{
    EXPECT_NEAR(c.r, r, 1e-5f);
    EXPECT_NEAR(c.g, g, 1e-5f);
    EXPECT_NEAR(c.b, b, 1e-5f);
    EXPECT_NEAR(c.a, a, 1e-5f);
}

TEST(PngWriter, RgbAndRgbaRoundTripThroughTheEngineDecoder)
{
    Canvas canvas(4, 2);
    canvas.at(0, 0) = {1.0f, 0.0f, 0.0f, 1.0f};
    canvas.at(1, 0) = {0.0f, 1.0f, 0.0f, 0.5f};
    canvas.at(2, 0) = {0.0f, 0.0f, 1.0f, 0.0f};
    canvas.at(3, 0) = {2.0f, -1.0f, 0.5f, 1.0f}; // out of range: clamped
    canvas.at(0, 1) = {0.2f, 0.4f, 0.6f, 0.8f};  // 51, 102, 153, 204
    TempDir dir;
    ASSERT_TRUE(writePng(canvas, dir.file("rgba.png"), true));
    ASSERT_TRUE(writePng(canvas, dir.file("rgb.png"), false));

    PngPtr rgba(loadPng(dir.file("rgba.png").c_str()));
    ASSERT_TRUE(rgba);
    EXPECT_EQ(pngStatus, pngOk);
    ASSERT_EQ(rgba->channels, 4);
    ASSERT_EQ(rgba->width, 4u);
    ASSERT_EQ(rgba->height, 2u);
    const unsigned char expectedTop[] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 255, 0, 128, 255};
    EXPECT_EQ(std::vector<unsigned char>(rgba->pixels, rgba->pixels + 16),
              std::vector<unsigned char>(expectedTop, expectedTop + 16));
    const unsigned char expectedBottomLeft[] = {51, 102, 153, 204};
    EXPECT_EQ(std::vector<unsigned char>(rgba->pixels + 16, rgba->pixels + 20),
              std::vector<unsigned char>(expectedBottomLeft, expectedBottomLeft + 4));

    PngPtr rgb(loadPng(dir.file("rgb.png").c_str()));
    ASSERT_TRUE(rgb);
    ASSERT_EQ(rgb->channels, 3);
    const unsigned char expectedRgb[] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 0, 128};
    EXPECT_EQ(std::vector<unsigned char>(rgb->pixels, rgb->pixels + 12),
              std::vector<unsigned char>(expectedRgb, expectedRgb + 12));
}

TEST(PngWriter, ReportsAFileThatCannotBeCreated)
{
    TempDir dir;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(writePng(Canvas(2, 2), dir.file("missing/dir/x.png"), false));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot create"), std::string::npos);
}

TEST(Canvas, OverCompositesWithStraightAlpha)
{
    Canvas canvas(3, 1, {0.0f, 0.0f, 1.0f, 1.0f});
    canvas.over(0, 0, {1.0f, 0.0f, 0.0f, 1.0f}, 0.5f);
    expectColour(canvas.at(0, 0), 0.5f, 0.0f, 0.5f, 1.0f);

    // Over a half transparent pixel the colours are weighted by their alphas.
    canvas.at(1, 0) = {0.0f, 0.0f, 1.0f, 0.5f};
    canvas.over(1, 0, {1.0f, 0.0f, 0.0f, 0.5f}, 1.0f);
    expectColour(canvas.at(1, 0), 2.0f / 3.0f, 0.0f, 1.0f / 3.0f, 0.75f);

    // Where nothing becomes visible, the pixel takes the new colour for its edges.
    canvas.at(2, 0) = {0.0f, 0.0f, 0.0f, 0.0f};
    canvas.over(2, 0, {0.2f, 0.9f, 0.3f, 0.0f}, 1.0f);
    expectColour(canvas.at(2, 0), 0.2f, 0.9f, 0.3f, 0.0f);

    // Outside the canvas nothing is touched.
    canvas.over(-1, 0, {1.0f, 1.0f, 1.0f, 1.0f}, 1.0f);
    canvas.over(3, 0, {1.0f, 1.0f, 1.0f, 1.0f}, 1.0f);
    canvas.addLight(0, 5, {1.0f, 1.0f, 1.0f, 1.0f}, 1.0f);
    expectColour(canvas.at(0, 0), 0.5f, 0.0f, 0.5f, 1.0f);
    expectColour(canvas.at(2, 0), 0.2f, 0.9f, 0.3f, 0.0f);
}

TEST(Canvas, FlipVerticalSwapsRowsAndKeepsAnOddMiddleRow)
{
    Canvas canvas(2, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            canvas.at(x, y) = {static_cast<float>(y), static_cast<float>(x), 0.0f, 1.0f};
    canvas.flipVertical();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(canvas.at(x, y).r, static_cast<float>(2 - y));
            EXPECT_EQ(canvas.at(x, y).g, static_cast<float>(x));
        }
}

TEST(Blur, KeepsTheTotalWhenWrappedAndSpreadsEvenlyAcrossTheSeam)
{
    Mask dot(16, 16);
    dot.at(0, 8) = 1.0f;
    Mask wrapped = blurred(dot, 1.5f, true);
    float total = 0.0f;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            total += wrapped.at(x, y);
    EXPECT_NEAR(total, 1.0f, 1e-4f);
    EXPECT_NEAR(wrapped.at(15, 8), wrapped.at(1, 8), 1e-6f);
    EXPECT_GT(wrapped.at(15, 8), 0.0f);

    // Without wrapping, what spreads past the left edge is lost.
    Mask clipped = blurred(dot, 1.5f, false);
    EXPECT_EQ(clipped.at(15, 8), 0.0f);
    float clippedTotal = 0.0f;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            clippedTotal += clipped.at(x, y);
    EXPECT_LT(clippedTotal, 0.7f);
}

TEST(Noise, PeriodicLatticeTilesAcrossItsPeriod)
{
    for (float x : {0.0f, 0.3f, 1.7f, 3.99f})
        for (float y : {0.0f, 2.25f}) {
            EXPECT_FLOAT_EQ(valueNoise(x, y, 9u, 4), valueNoise(x + 4.0f, y, 9u, 4));
            EXPECT_FLOAT_EQ(valueNoise(x - 4.0f, y, 9u, 4), valueNoise(x, y, 9u, 4));
            // Every octave doubles both the frequency and the period, so the sum tiles too.
            EXPECT_NEAR(fractalNoise(x, y, 5, 9u, 4), fractalNoise(x + 4.0f, y, 5, 9u, 4), 1e-6f);
        }
    // Without a period the lattice does not repeat there.
    EXPECT_NE(valueNoise(0.5f, 0.5f, 9u), valueNoise(4.5f, 0.5f, 9u));
}

TEST(Noise, StaysWithinMinusOneToOne)
{
    float low = 1.0f;
    float high = -1.0f;
    for (int i = 0; i < 2000; ++i) {
        float value = fractalNoise(i * 0.137f, i * 0.071f, 4, 3u);
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_GE(low, -1.0f);
    EXPECT_LE(high, 1.0f);
    EXPECT_LT(low, -0.2f); // and uses a good part of that range
    EXPECT_GT(high, 0.2f);
}

TEST(RandomSequence, SameSeedGivesTheSameNumbersBelowOne)
{
    RandomSequence a(42u);
    RandomSequence b(42u);
    RandomSequence c(43u);
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        float value = a.uniform();
        EXPECT_EQ(value, b.uniform());
        EXPECT_GE(value, 0.0f);
        EXPECT_LT(value, 1.0f);
        differs = differs || value != c.uniform();
    }
    EXPECT_TRUE(differs);
}

TEST(Ramp, InterpolatesBetweenStopsAndHoldsTheEnds)
{
    auto at = [](float t) {
        return ramp(
            {{0.0f, {0.0f, 0.0f, 0.0f, 1.0f}}, {0.5f, {1.0f, 0.0f, 0.0f, 1.0f}}, {1.0f, {1.0f, 1.0f, 0.0f, 1.0f}}}, t);
    };
    expectColour(at(-3.0f), 0.0f, 0.0f, 0.0f, 1.0f);
    expectColour(at(0.25f), 0.5f, 0.0f, 0.0f, 1.0f);
    expectColour(at(0.5f), 1.0f, 0.0f, 0.0f, 1.0f);
    expectColour(at(0.75f), 1.0f, 0.5f, 0.0f, 1.0f);
    expectColour(at(7.0f), 1.0f, 1.0f, 0.0f, 1.0f);
}

TEST(HueColour, PrimaryAndSecondaryHuesAndWrapping)
{
    expectColour(hueColour(0.0f), 1.0f, 0.0f, 0.0f, 1.0f);
    expectColour(hueColour(1.0f / 6.0f), 1.0f, 1.0f, 0.0f, 1.0f);
    expectColour(hueColour(1.0f / 3.0f), 0.0f, 1.0f, 0.0f, 1.0f);
    expectColour(hueColour(2.0f / 3.0f), 0.0f, 0.0f, 1.0f, 1.0f);
    expectColour(hueColour(1.25f), hueColour(0.25f).r, hueColour(0.25f).g, hueColour(0.25f).b, 1.0f);
    expectColour(hueColour(-0.75f), hueColour(0.25f).r, hueColour(0.25f).g, hueColour(0.25f).b, 1.0f);
}

TEST(Geometry, PolygonUsesTheEvenOddRule)
{
    EXPECT_TRUE(insidePolygon({{0, 0}, {10, 0}, {0, 10}}, 2, 2));
    EXPECT_FALSE(insidePolygon({{0, 0}, {10, 0}, {0, 10}}, 8, 8));
    EXPECT_FALSE(insidePolygon({{0, 0}, {10, 0}, {0, 10}}, -1, 2));
    // A concave arrow-like shape: the notch is outside.
    std::initializer_list<Point> chevron = {{0, 0}, {5, 5}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_FALSE(insidePolygon(chevron, 5, 2));
    EXPECT_TRUE(insidePolygon(chevron, 5, 8));
}

TEST(Geometry, SphereNormalsAreUnitInsideAndLitFromTheUpperLeft)
{
    Normal n;
    EXPECT_FALSE(sphereNormal(3.0f, 4.1f, 5.0f, n));
    ASSERT_TRUE(sphereNormal(3.0f, 0.0f, 5.0f, n));
    EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-6f);
    EXPECT_NEAR(n.z, 0.8f, 1e-6f);
    Normal upperLeft;
    Normal lowerRight;
    ASSERT_TRUE(sphereNormal(-2.0f, 2.0f, 5.0f, upperLeft));
    ASSERT_TRUE(sphereNormal(2.0f, -2.0f, 5.0f, lowerRight));
    EXPECT_GT(diffuseLight(upperLeft), diffuseLight(lowerRight));
    EXPECT_GT(specularLight(upperLeft, 20.0f), specularLight(lowerRight, 20.0f));
}

TEST(ShadePixels, AveragesPremultipliedSoClearSamplesAddNoColour)
{
    // Left half of the pixel opaque red, right half clear green.
    Canvas canvas = shadePixels(1, 1, 4, [](float x, float) {
        return x < 0.5f ? Colour{1.0f, 0.0f, 0.0f, 1.0f} : Colour{0.0f, 1.0f, 0.0f, 0.0f};
    });
    expectColour(canvas.at(0, 0), 1.0f, 0.0f, 0.0f, 0.5f);

    // All samples clear: the plain average colour is kept, alpha 0.
    Canvas clear = shadePixels(2, 1, 2, [](float x, float) {
        return Colour{x < 1.0f ? 1.0f : 0.0f, 0.5f, 0.0f, 0.0f};
    });
    expectColour(clear.at(0, 0), 1.0f, 0.5f, 0.0f, 0.0f);
    expectColour(clear.at(1, 0), 0.0f, 0.5f, 0.0f, 0.0f);
}

TEST(ScreenFrame, MapsTheTextureOntoTheFourByThreeScreen)
{
    ScreenFrame frame{256};
    EXPECT_FLOAT_EQ(frame.x(0.0f), -4.0f / 3.0f);
    EXPECT_FLOAT_EQ(frame.x(256.0f), 4.0f / 3.0f);
    EXPECT_FLOAT_EQ(frame.x(128.0f), 0.0f);
    EXPECT_FLOAT_EQ(frame.y(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(frame.y(256.0f), -1.0f);

    // Text fitted in screen units: centred where asked, and square font
    // pixels on screen, that is 4/3 as many texels high as wide.
    TextField text("AB");
    TextPlacement place = frame.fit(text, 0.5f, -0.25f, 1.0f, 1.0f);
    EXPECT_NEAR(frame.x(place.centreX), 0.5f, 1e-5f);
    EXPECT_NEAR(frame.y(place.centreY), -0.25f, 1e-5f);
    EXPECT_NEAR(place.pixelHeight / place.pixelWidth, 4.0f / 3.0f, 1e-5f);
    EXPECT_NEAR(text.width() * place.pixelWidth, 1.0f * 256 * 3 / 8, 1e-3f); // width-bound box
}

} // namespace
