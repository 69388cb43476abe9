// Building blocks of the procedural art: easing, colour ramps, lattice noise
// and a seeded random sequence. Everything is deterministic, so the same
// program always paints the same pixels.
#pragma once

#include "image_canvas.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <random>

constexpr float pi = 3.14159265358979f;

float clamp01(float x);
float smoothstep(float edge0, float edge1, float x);

struct ColourStop {
    float at;
    Colour colour;
};
// The colour at t on a ramp of stops given in ascending order.
Colour ramp(std::initializer_list<ColourStop> stops, float t);

// Smooth value noise from about -1 to 1 on an integer lattice. A period above
// 0 wraps the lattice in x, so that a texture tiles horizontally.
float valueNoise(float x, float y, uint32_t seed, int periodX = 0);
// Sum of octaves of value noise, each at twice the frequency and half the
// amplitude of the one before (the period doubles with them).
float fractalNoise(float x, float y, int octaves, uint32_t seed, int periodX = 0);

// A fully saturated colour of the given hue, in turns (0 red, 1/3 green, 2/3 blue).
Colour hueColour(float hue);

struct Point {
    float x;
    float y;
};
// Whether (x, y) lies inside the polygon (even-odd rule).
bool insidePolygon(std::initializer_list<Point> corners, float x, float y);

// The unit normal of a sphere seen face on, at offset (dx, dy) from its
// centre with y pointing up; false outside the sphere's outline.
struct Normal {
    float x;
    float y;
    float z; // towards the viewer
};
bool sphereNormal(float dx, float dy, float radius, Normal& normal);
// Lambert light of a normal from the upper left front, from 0 to 1.
float diffuseLight(const Normal& normal);
// A tight specular highlight for the same light.
float specularLight(const Normal& normal, float sharpness);

// Adds count stars of random place, size and brightness to the canvas.
void scatterStars(Canvas& canvas, uint32_t seed, int count, Colour tint);

// A seeded sequence of uniform numbers; the same seed gives the same numbers
// on every platform (std::mt19937 is fully specified, its raw output is used).
class RandomSequence {
public:
    explicit RandomSequence(uint32_t seed) : engine(seed) {}
    float uniform(); // from 0 up to, not including, 1
    float between(float low, float high) { return low + (high - low) * uniform(); }

private:
    std::mt19937 engine;
};

// A canvas whose every pixel is the average of samples x samples calls of
// shade at evenly spread points inside it (antialiasing); shade receives
// continuous image coordinates, (0, 0) being the top left corner of the image.
Canvas shadePixels(int width, int height, int samples, const std::function<Colour(float x, float y)>& shade);
