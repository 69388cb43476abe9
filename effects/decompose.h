// Decompose: one full-screen picture drawn as its blue, red and green parts,
// added together, each trembling on its own small sine path.
#pragma once

#include "effect.h"

class Decompose : public Effect {
public:
    explicit Decompose(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    // Offset (x, y) of one of the three colour passes at time t.
    static void passOffset(int pass, float t, float& x, float& y);

    // Corners (x, y) of the picture: lower left, lower right, upper right, upper left.
    float corners[4][2] = {};
};
