// Vlakje: one picture over the whole screen as a 33 x 33 mesh whose inner
// vertices circle about their rest places, so that the picture shimmers.
#pragma once

#include "effect.h"

#include <cstdint>

class Vlakje : public Effect {
public:
    static constexpr int side = 33;
    static constexpr int vertexCount = side * side;
    static constexpr int triangleCount = 2 * (side - 1) * (side - 1);
    static constexpr float cellWidth = 3.46875f;
    static constexpr float cellHeight = 2.625f;

    // The circling radius's factor t ms in: 0.75 + sin / 4 with a 2 s period.
    static float amplitude(int elapsedMs);

    explicit Vlakje(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    float vertices[vertexCount][3];
    uint32_t indices[triangleCount * 3];
    float texCoords[vertexCount][2];
    float wobblePhase[vertexCount];

private:
    void buildMesh(int elapsedMs);
};
