// Jordan: one textured square crossing the screen from left to right along an
// arc while turning once about the vertical axis.
#pragma once

#include "effect.h"

class Jordan : public Effect {
public:
    explicit Jordan(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    // Centre of the square at a given progress.
    static void centre(float progress, float& x, float& y);
};
