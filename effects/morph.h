// Morph: a lit, half-transparent 33 x 33 mesh that flies in as a plane, rolls
// into a tube, bends into a torus, widens while spinning and dissolves into
// twinkling star sprites, in eight equal phases of its timeline entry.
#pragma once

#include "effect.h"
#include "warm_up.h"

#include <cstdint>
#include <vector>

class Morph : public Effect {
public:
    static constexpr int side = 33; // vertices per row and per column
    static constexpr int vertexCount = side * side;
    static constexpr int triangleCount = 2 * 32 * 32;
    static constexpr int indexCount = 3 * triangleCount;
    static constexpr float cell = 15.625f;

    enum class Seam { open, wrapped };

    explicit Morph(const char* name);
    ~Morph() override;
    // Draws nothing when the constructor could not allocate its buffers.
    void draw(int elapsedMs, float progress, float value) override;

    // Phase 0 to 7; a boundary such as 0.125 belongs to the later phase.
    static int phaseOf(float progress);
    // Spin about the vertical axis in degrees: one eased turn over phases 4 to 6.
    static float spinAngle(float progress);
    bool ready() const;

    // The last row of quads either ends at row 32 (open) or joins row 0 (wrapped).
    void patchRows(Seam seam);
    // The last column of quads either ends at column 32 or joins column 0.
    void patchColumns(Seam seam);

    // Shapes, 3 floats per vertex; vertex k is at row k / 33, column k % 33.
    float* planeMesh = nullptr;
    float* tubeMesh = nullptr;
    float* torusMesh = nullptr;
    float* wideTorusMesh = nullptr;
    float* vertices = nullptr; // the mesh drawn this frame
    float* normals = nullptr;  // one per triangle
    uint32_t* indices = nullptr;
    float* spriteSpin = nullptr;      // degrees
    float* spritePhase = nullptr;     // radians
    float* spriteCorners = nullptr;   // this frame's stars: 4 corners of 3 floats each
    float* spriteTexCoords = nullptr; // and their 4 texture coordinates of 2 floats
    // The star image's clear surround (see transparentBeyond), for this image.
    const unsigned char* footprintImage = nullptr;
    double footprintRadius = -1;
    int phase = -1; // the phase drawn last

private:
    // A phase's entry work is skipped when the phase was drawn last, so the
    // phase, the mesh and its seams survive drawing out of the show's order.
    struct Kept {
        int phase = -1;
        std::vector<float> vertices, normals;
        std::vector<uint32_t> indices;
    } kept;
    StateKeeper meshKeeper{[this] { keepMesh(); }, [this] { restoreMesh(); }};
    void keepMesh();
    void restoreMesh();

    void buildShapes();
    void buildIndices();
    // Puts this frame's mesh into `vertices`, patches and normals in place and
    // applies the phase's transform.
    void shapeAndPlace(int n, float p, float w, float angle);
    void drawSprites(int n, int elapsedMs, float p, float angle);
};
