// Canvas and mask operations and the PNG writer of the image generator.
#include "image_canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

Colour hexColour(unsigned rgb, float alpha)
{
    return {((rgb >> 16) & 0xff) / 255.0f, ((rgb >> 8) & 0xff) / 255.0f, (rgb & 0xff) / 255.0f, alpha};
}

Colour mix(Colour from, Colour to, float t)
{
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
            from.a + (to.a - from.a) * t};
}

Colour scaled(Colour c, float factor)
{
    return {c.r * factor, c.g * factor, c.b * factor, c.a};
}

Canvas::Canvas(int width, int height, Colour fill)
    : w(width), h(height), pixels(static_cast<size_t>(width) * height, fill)
{
}

void Canvas::over(int x, int y, Colour c, float coverage)
{
    if (x < 0 || y < 0 || x >= w || y >= h || coverage <= 0.0f)
        return;
    Colour& d = at(x, y);
    float sa = std::clamp(c.a * coverage, 0.0f, 1.0f);
    float da = d.a * (1.0f - sa);
    float outA = sa + da;
    if (outA < 1e-6f) {
        d = {c.r, c.g, c.b, 0.0f};
        return;
    }
    d.r = (c.r * sa + d.r * da) / outA;
    d.g = (c.g * sa + d.g * da) / outA;
    d.b = (c.b * sa + d.b * da) / outA;
    d.a = outA;
}

void Canvas::addLight(int x, int y, Colour c, float amount)
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return;
    Colour& d = at(x, y);
    d.r += c.r * amount;
    d.g += c.g * amount;
    d.b += c.b * amount;
}

void Canvas::flipVertical()
{
    for (int y = 0; y < h / 2; ++y)
        std::swap_ranges(pixels.begin() + static_cast<ptrdiff_t>(y) * w,
                         pixels.begin() + static_cast<ptrdiff_t>(y + 1) * w,
                         pixels.begin() + static_cast<ptrdiff_t>(h - 1 - y) * w);
}

void Canvas::flipHorizontal()
{
    for (int y = 0; y < h; ++y)
        std::reverse(pixels.begin() + static_cast<ptrdiff_t>(y) * w,
                     pixels.begin() + static_cast<ptrdiff_t>(y + 1) * w);
}

Mask::Mask(int width, int height, float fill) : w(width), h(height), values(static_cast<size_t>(width) * height, fill)
{
}

float Mask::sample(int x, int y) const
{
    return x < 0 || y < 0 || x >= w || y >= h ? 0.0f : at(x, y);
}

// One pass of a separable Gaussian along x (horizontal) or y.
static Mask blurPass(const Mask& in, const std::vector<float>& kernel, bool horizontal, bool wrap)
{
    int radius = static_cast<int>(kernel.size()) / 2;
    Mask out(in.width(), in.height());
    for (int y = 0; y < in.height(); ++y)
        for (int x = 0; x < in.width(); ++x) {
            float sum = 0.0f;
            for (int k = -radius; k <= radius; ++k) {
                int sx = horizontal ? x + k : x;
                int sy = horizontal ? y : y + k;
                if (wrap && horizontal)
                    sx = (sx % in.width() + in.width()) % in.width();
                sum += kernel[k + radius] * in.sample(sx, sy);
            }
            out.at(x, y) = sum;
        }
    return out;
}

Mask blurred(const Mask& mask, float sigma, bool wrapX)
{
    int radius = std::max(1, static_cast<int>(std::ceil(sigma * 3.0f)));
    std::vector<float> kernel(2 * radius + 1);
    float total = 0.0f;
    for (int k = -radius; k <= radius; ++k)
        total += kernel[k + radius] = std::exp(-0.5f * k * k / (sigma * sigma));
    for (float& weight : kernel)
        weight /= total;
    return blurPass(blurPass(mask, kernel, true, wrapX), kernel, false, false);
}

static unsigned char toByte(float value)
{
    return static_cast<unsigned char>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

// Kept free of C++ objects with destructors because libpng reports errors with longjmp.
static bool writeRows(FILE* file, png_bytep* rows, int width, int height, bool withAlpha)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, height, 8, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writePng(const Canvas& canvas, const std::string& path, bool withAlpha)
{
    int channels = withAlpha ? 4 : 3;
    std::vector<unsigned char> bytes(static_cast<size_t>(canvas.width()) * canvas.height() * channels);
    std::vector<png_bytep> rows(canvas.height());
    for (int y = 0; y < canvas.height(); ++y) {
        unsigned char* row = bytes.data() + static_cast<size_t>(y) * canvas.width() * channels;
        rows[y] = row;
        for (int x = 0; x < canvas.width(); ++x) {
            const Colour& c = canvas.at(x, y);
            unsigned char* p = row + x * channels;
            p[0] = toByte(c.r);
            p[1] = toByte(c.g);
            p[2] = toByte(c.b);
            if (withAlpha)
                p[3] = toByte(c.a);
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "make-images: cannot create %s\n", path.c_str());
        return false;
    }
    bool written = writeRows(file, rows.data(), canvas.width(), canvas.height(), withAlpha);
    if (std::fclose(file) != 0)
        written = false;
    if (!written)
        std::fprintf(stderr, "make-images: cannot write %s\n", path.c_str());
    return written;
}
