// Sphere: a large textured teapot, tilted towards the viewer and turning,
// fading in over the first two seconds of its entry and out over the last two.
#pragma once

#include "effect.h"

class Sphere : public Effect {
public:
    // The teapot's opacity t ms into an entry at progress f.
    static float fade(int elapsedMs, float progress);
    // The base colour's grey: white when the parameter's integer part is 1.
    static float baseGrey(float value);

    explicit Sphere(const char* name);
    void draw(int elapsedMs, float progress, float value) override;
};
