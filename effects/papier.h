// Papier: 343 hollow paper boxes on a 7 x 7 x 7 lattice that fly in from
// scattered positions, settle half-way through the entry, grow at the start,
// shrink at the end and spin, glowing.
#pragma once

#include "effect.h"

#include <vector>

class Papier : public Effect {
public:
    static constexpr int boxCount = 343;
    static constexpr int cornersPerBox = 4 * 30; // six sheets of five squares
    static constexpr float spacing = 32;

    explicit Papier(const char* name);
    void draw(int elapsedMs, float progress, float value) override;

    // Index of lattice point (i, j, k), each from -3 to 3.
    static int boxIndex(int i, int j, int k) { return (i + 3) + 7 * (j + 3) + 49 * (k + 3); }
    // Side of one square: grows to 4 by progress 0.25, shrinks from 0.75.
    static float sizeAt(float progress);
    // Where box `index` stands at a given progress (on the lattice from 0.5 on).
    void position(int index, float progress, float out[3]) const;

    std::vector<float> latticePos; // 3 floats per box
    std::vector<float> startPos;   // 3 floats per box
    float boxSize = 0;

private:
    static void buildBox(float side, float* corners);
    // Every box's squares for this frame, under the lattice's own turn.
    void buildLattice(float t, float progress);

    std::vector<float> corners; // 3 floats per corner, every box's squares
};
