// The surfaces that the image generator paints on: a colour canvas with
// straight (not premultiplied) alpha and a one-channel mask, both in floating
// point, top row first, and the PNG writer that turns a canvas into a file.
#pragma once

#include <string>
#include <vector>

struct Colour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
};

// 0xRRGGBB as a colour.
Colour hexColour(unsigned rgb, float alpha = 1.0f);
Colour mix(Colour from, Colour to, float t);
Colour scaled(Colour c, float factor); // colour times factor, alpha kept

class Canvas {
public:
    Canvas(int width, int height, Colour fill = {});

    int width() const { return w; }
    int height() const { return h; }
    Colour& at(int x, int y) { return pixels[static_cast<size_t>(y) * w + x]; }
    const Colour& at(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }

    // Lays colour c over the pixel with the given coverage (Porter-Duff "over").
    // Where the result stays fully transparent the pixel takes c's colour, so
    // that filtering at the edge of a shape never pulls in a stray colour.
    void over(int x, int y, Colour c, float coverage);
    // Adds light to the pixel's colour; alpha is untouched.
    void addLight(int x, int y, Colour c, float amount);
    void flipVertical();
    void flipHorizontal();

private:
    int w;
    int h;
    std::vector<Colour> pixels;
};

class Mask {
public:
    Mask(int width, int height, float fill = 0.0f);

    int width() const { return w; }
    int height() const { return h; }
    float& at(int x, int y) { return values[static_cast<size_t>(y) * w + x]; }
    float at(int x, int y) const { return values[static_cast<size_t>(y) * w + x]; }
    // The value at (x, y), or 0 outside the mask.
    float sample(int x, int y) const;

private:
    int w;
    int h;
    std::vector<float> values;
};

// A Gaussian blur with standard deviation sigma pixels; wrapX blurs across
// the left and right edges as one, for textures that tile horizontally.
Mask blurred(const Mask& mask, float sigma, bool wrapX = false);

// Writes the canvas as 8-bit RGB (alpha dropped) or RGBA. The file depends
// only on the pixels: no time stamp or other varying chunk is written.
// Returns false after a message on standard error.
bool writePng(const Canvas& canvas, const std::string& path, bool withAlpha);
