// Planes: a pair of tall, slanted, textured planes built up triangle by
// triangle in a shuffled order, then swinging about the view axis while their
// texture slides, and in the last quarter multiplying sideways and fading out.
#pragma once

#include "effect.h"
#include "warm_up.h"

#include <cstdint>

class Planes : public Effect {
public:
    static constexpr int gridSize = 16;
    static constexpr int vertexCount = gridSize * gridSize;
    static constexpr int triangleCount = 450; // 15 x 15 quads, two triangles each
    static constexpr int indexCount = 3 * triangleCount;
    static constexpr int introMs = 10000;

    // How much of the pair the build-up shows t ms into the entry: outlines of
    // the first `outlines` triangles of buildOrder, then the first `filled` filled.
    struct BuildUp {
        int outlines;
        int filled;
    };
    static BuildUp buildUp(int elapsedMs);

    // The swing at progress g through the part after the build-up: the shift
    // of the texture along s and the rotation about the view axis in degrees.
    struct Swing {
        float textureShift;
        float angle;
    };
    static Swing swing(float g, int elapsedMs);

    explicit Planes(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    float entryLength = 0;
    float introEnd = 0;
    float vertices[vertexCount * 3];
    float texCoords[vertexCount * 2];
    uint32_t indices[1536];
    uint32_t buildOrder[1536];

private:
    // The length is measured on the first build-up frames the object draws:
    // the show's own, not a warm-up's.
    float keptLength[2] = {};
    StateKeeper lengthKeeper{[this] { keptLength[0] = entryLength, keptLength[1] = introEnd; },
                             [this] { entryLength = keptLength[0], introEnd = keptLength[1]; }};

    void drawPlane(int plane, GLenum mode, const uint32_t* first, int count);
    void drawOutlines(int triangles);
    void drawPairCopy(float offset);
    void drawPair();
};
