// Disks: small translucent discs in one of two looks chosen by the parameter
// value: a tumbling ring of twenty pale-yellow discs, or one rippling
// two-coloured disc turning over close to the viewer.
#pragma once

#include "effect.h"

#include <vector>

class Disks : public Effect {
public:
    static constexpr int rimPoints = 65; // 64 segments, the last point repeats the first
    static constexpr float radius = 8;

    explicit Disks(const char* name);
    // value below 1: the ring; from 1 to below 2: the rippling disc; 2 or more: nothing.
    void draw(int elapsedMs, float progress, float value) override;

    // Depth of rim point j (1 to 65) of the rippling disc at time t.
    static float rippleDepth(int j, float t);

    // Point 0 is the centre, points 1 to 65 the rim; (x, y) each.
    std::vector<float> discVertices;
    // Depth of rim points 1 to 65 in the current frame of the rippling look.
    std::vector<float> rimDepth;
    float ringStep;

private:
    void drawRing(float t);
    void drawRipple(float t);
};
