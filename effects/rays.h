// Rays: a band of 20 wavy lines, shaded from bright cyan-white to black, as a
// border along one edge of the screen; the parameter track picks the edge.
#pragma once

#include "effect.h"

#include <cstdint>

class Rays : public Effect {
public:
    static constexpr int lineCount = 20;
    static constexpr int pointsPerLine = 40;
    enum Edge { bottom, top, left, right };

    // The edge that parameter value p picks: its integer part. Values that
    // are not a 32-bit integer give -1 (no edge, like any other value).
    static int edgeFor(float value);

    explicit Rays(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    float linePoints[lineCount][pointsPerLine][3];
    uint32_t lineIndices[pointsPerLine];
    int edge = 0;

private:
    void buildLines(int elapsedMs);
};
