// Nookie: a glowing, lit ribbon wound as a spiral of 108 points that stretches
// towards the viewer, breathes, wobbles and turns about the view axis.
#pragma once

#include "effect.h"

#include <cstdint>

class Nookie : public Effect {
public:
    static constexpr int rings = 12;
    static constexpr int pointsPerRing = 9;
    static constexpr int pointCount = rings * pointsPerRing;

    explicit Nookie(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    // Depth scale: rises over the first two seconds, falls over the last two.
    static float envelope(float t, float progress);
    // Rebuilds the spiral and its normals for time t and envelope e.
    void buildSpiral(float t, float e);

    float vertices[3 * pointCount] = {};
    uint32_t indices[3 * pointCount] = {};
    float normals[3 * pointCount] = {};
};
