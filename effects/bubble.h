// Bubble: one large textured sphere, off centre, tumbling, spinning and
// bobbing up and down.
#pragma once

#include "effect.h"

#include <GL/glu.h>

class Bubble : public Effect {
public:
    explicit Bubble(const char* name);
    ~Bubble() override;
    void draw(int elapsedMs, float progress, float value) override;

private:
    GLUquadric* quadric;
};
