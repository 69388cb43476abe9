// Vierkant: a glowing 40 x 40 sheet whose corners and edge midpoints bob in
// and out, with a different picture on each face, tumbling and flying towards
// the viewer ten times per entry from ten seeded positions.
#pragma once

#include "effect.h"

class Vierkant : public Effect {
public:
    static constexpr int fanSize = 10;
    static constexpr int flightCount = 10;

    // The flight shown at progress f: the integer part of 10 f, kept to the
    // ten flights (at f = 1 the last flight ends where it stands).
    static int flightAt(float progress);

    explicit Vierkant(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    float fanVertices[fanSize][3];
    float fanTexCoords[fanSize][2];
    float bobRates[8];
    float flightStarts[flightCount][2];

private:
    void bob(int elapsedMs);
};
