// Bobel: a lit, textured ball inside a translucent scrolling shell, with a
// swarm of 64 coloured spheres orbiting it, swinging along the view axis.
#pragma once

#include "effect.h"
#include "recorded_list.h"

#include <GL/glu.h>

class Bobel : public Effect {
public:
    static constexpr int particleCount = 64;
    enum Field { red, green, blue, spin, axisX, axisY, axisZ, offsetX, offsetY, offsetZ, fieldCount };

    explicit Bobel(const char* name);
    ~Bobel() override;
    void draw(int elapsedMs, float progress, float value) override;

    // particleCount records of fieldCount floats.
    float* particles;

private:
    GLUquadric* quadric;
    // The spheres' vertices are fixed: each is sent once and called per draw.
    RecordedList particle, ball, shell;
};
