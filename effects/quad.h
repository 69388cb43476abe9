// Quad: one of nine full-screen pictures, chosen by the parameter track.
#pragma once

#include "effect.h"

class Quad : public Effect {
public:
    static constexpr int pictureCount = 9;

    // The slot that parameter value p shows (its integer part), or -1 for
    // none: negative values and values of 9 or more name no picture.
    static int pictureFor(float value);

    explicit Quad(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    float cornerTexCoords[4][2];
    float cornerVertices[4][2];
};
