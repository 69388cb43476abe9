// Easing, colour ramps, value noise and the random sequence.
#include "procedural.h"

#include <algorithm>
#include <cmath>

float clamp01(float x)
{
    return std::clamp(x, 0.0f, 1.0f);
}

float smoothstep(float edge0, float edge1, float x)
{
    float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

Colour ramp(std::initializer_list<ColourStop> stops, float t)
{
    const ColourStop* previous = stops.begin();
    if (t <= previous->at)
        return previous->colour;
    for (const ColourStop* stop = stops.begin() + 1; stop != stops.end(); ++stop) {
        if (t <= stop->at)
            return mix(previous->colour, stop->colour, (t - previous->at) / (stop->at - previous->at));
        previous = stop;
    }
    return previous->colour;
}

// A well-mixed 32-bit hash of a lattice point.
static uint32_t latticeHash(int x, int y, uint32_t seed)
{
    uint32_t h = seed * 0x9e3779b9u ^ static_cast<uint32_t>(x) * 0x85ebca6bu ^ static_cast<uint32_t>(y) * 0xc2b2ae35u;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

static float latticeValue(int x, int y, uint32_t seed, int periodX)
{
    if (periodX > 0)
        x = (x % periodX + periodX) % periodX;
    return static_cast<float>(latticeHash(x, y, seed) >> 8) / 8388608.0f - 1.0f;
}

float valueNoise(float x, float y, uint32_t seed, int periodX)
{
    float fx = std::floor(x);
    float fy = std::floor(y);
    int ix = static_cast<int>(fx);
    int iy = static_cast<int>(fy);
    float tx = smoothstep(0.0f, 1.0f, x - fx);
    float ty = smoothstep(0.0f, 1.0f, y - fy);
    float top = latticeValue(ix, iy, seed, periodX) +
                (latticeValue(ix + 1, iy, seed, periodX) - latticeValue(ix, iy, seed, periodX)) * tx;
    float bottom = latticeValue(ix, iy + 1, seed, periodX) +
                   (latticeValue(ix + 1, iy + 1, seed, periodX) - latticeValue(ix, iy + 1, seed, periodX)) * tx;
    return top + (bottom - top) * ty;
}

float fractalNoise(float x, float y, int octaves, uint32_t seed, int periodX)
{
    float sum = 0.0f;
    float amplitude = 0.5f;
    float norm = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(x, y, seed + octave * 101u, periodX);
        norm += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        periodX *= 2;
        amplitude *= 0.5f;
    }
    return sum / norm;
}

Colour hueColour(float hue)
{
    auto channel = [hue](float offset) {
        float t = hue + offset;
        t -= std::floor(t);
        return clamp01(std::abs(t * 6.0f - 3.0f) - 1.0f);
    };
    return {channel(0.0f), channel(2.0f / 3.0f), channel(1.0f / 3.0f), 1.0f};
}

bool insidePolygon(std::initializer_list<Point> corners, float x, float y)
{
    bool inside = false;
    const Point* previous = corners.end() - 1;
    for (const Point& corner : corners) {
        if ((corner.y > y) != (previous->y > y) &&
            x < (previous->x - corner.x) * (y - corner.y) / (previous->y - corner.y) + corner.x)
            inside = !inside;
        previous = &corner;
    }
    return inside;
}

bool sphereNormal(float dx, float dy, float radius, Normal& normal)
{
    float x = dx / radius;
    float y = dy / radius;
    float zz = 1.0f - x * x - y * y;
    if (zz < 0.0f)
        return false;
    normal = {x, y, std::sqrt(zz)};
    return true;
}

// Light from the upper left, in front of the picture.
static const Normal lightDirection = {-0.48f, 0.58f, 0.66f};

float diffuseLight(const Normal& normal)
{
    return std::max(0.0f, normal.x * lightDirection.x + normal.y * lightDirection.y + normal.z * lightDirection.z);
}

float specularLight(const Normal& normal, float sharpness)
{
    // Half vector between the light and the viewer (0, 0, 1), normalised.
    float hx = lightDirection.x;
    float hy = lightDirection.y;
    float hz = lightDirection.z + 1.0f;
    float length = std::sqrt(hx * hx + hy * hy + hz * hz);
    float cosine = (normal.x * hx + normal.y * hy + normal.z * hz) / length;
    return std::pow(std::max(0.0f, cosine), sharpness);
}

float RandomSequence::uniform()
{
    return static_cast<float>(engine() >> 8) / 16777216.0f;
}

Canvas shadePixels(int width, int height, int samples, const std::function<Colour(float x, float y)>& shade)
{
    Canvas canvas(width, height);
    float weight = 1.0f / (samples * samples);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Averaged with premultiplied alpha, so that transparent samples add no colour.
            Colour sum{0.0f, 0.0f, 0.0f, 0.0f};
            Colour plain{0.0f, 0.0f, 0.0f, 0.0f};
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx) {
                    Colour c = shade(x + (sx + 0.5f) / samples, y + (sy + 0.5f) / samples);
                    sum.r += c.r * c.a * weight;
                    sum.g += c.g * c.a * weight;
                    sum.b += c.b * c.a * weight;
                    sum.a += c.a * weight;
                    plain.r += c.r * weight;
                    plain.g += c.g * weight;
                    plain.b += c.b * weight;
                }
            canvas.at(x, y) = sum.a > 1e-6f ? Colour{sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, sum.a}
                                            : Colour{plain.r, plain.g, plain.b, 0.0f};
        }
    return canvas;
}

void scatterStars(Canvas& canvas, uint32_t seed, int count, Colour tint)
{
    RandomSequence random(seed);
    for (int star = 0; star < count; ++star) {
        float cx = random.uniform() * canvas.width();
        float cy = random.uniform() * canvas.height();
        float size = 0.35f + 0.9f * random.uniform() * random.uniform();
        float brightness = 0.4f + 0.6f * random.uniform();
        Colour colour = mix(tint, Colour{1.0f, 1.0f, 1.0f, 1.0f}, random.uniform());
        for (int y = static_cast<int>(cy) - 3; y <= static_cast<int>(cy) + 3; ++y)
            for (int x = static_cast<int>(cx) - 3; x <= static_cast<int>(cx) + 3; ++x) {
                float dx = x + 0.5f - cx;
                float dy = y + 0.5f - cy;
                canvas.addLight(x, y, colour, brightness * std::exp(-(dx * dx + dy * dy) / (2.0f * size * size)));
            }
    }
}
