// Cone: a textured, translucent funnel of two nested open cones that grows
// out of a flat ring and shrinks back over its timeline entry.
#pragma once

#include "effect.h"

#include <GL/glu.h>

class Cone : public Effect {
public:
    explicit Cone(const char* name);
    ~Cone() override;
    // value below 2 stands the funnel low in the middle, from 2 up a little left.
    void draw(int elapsedMs, float progress, float value) override;

    // The growth factor: 0 at progress 0, 1 at 0.5, back to 0 at 1.
    static float growth(float progress);

    float baseRadius;
    float narrowTop = 0;
    float wideTop = 0;
    float height = 0;

private:
    GLUquadric* quadric;
};
