#include "papier.h"

#include "entry_progress.h"
#include "geometry.h"

#include <cstdlib>

Papier::Papier(const char* name)
    : latticePos(3 * boxCount), startPos(3 * boxCount), corners(3 * cornersPerBox * boxCount)
{
    registerAs(name);
    // Each start coordinate lies 5 to 15 times farther out than the lattice one.
    for (int i = -3; i <= 3; ++i) {
        for (int j = -3; j <= 3; ++j) {
            for (int k = -3; k <= 3; ++k) {
                int b = 3 * boxIndex(i, j, k);
                const float lattice[3] = {spacing * i, spacing * j, spacing * k};
                for (int c = 0; c < 3; ++c) {
                    latticePos[b + c] = lattice[c];
                    float u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
                    startPos[b + c] = lattice[c] * (10 * u + 5);
                }
            }
        }
    }
}

float Papier::sizeAt(float progress)
{
    if (progress < 0.25f)
        return 16 * progress;
    if (progress >= 0.75f)
        return 16 * (1 - progress);
    return 4;
}

void Papier::position(int index, float progress, float out[3]) const
{
    for (int c = 0; c < 3; ++c) {
        float lattice = latticePos[3 * index + c];
        out[c] = progress >= 0.5f ? lattice : 2 * progress * lattice + (1 - 2 * progress) * startPos[3 * index + c];
    }
}

// One box of side 3s in its own frame, spanning x and y from -1.5s to 1.5s
// and z from 0 to 3s: six plus-shaped sheets of five squares, the four side
// sheets folded up about the bottom sheet's edges and the top one lifted.
// Writes the corners of its 30 squares, 4 per square in drawing order.
void Papier::buildBox(float side, float* corners)
{
    const double s = side, h = side / 2.0, half = 1.5 * side;
    struct Fold {
        double hingeX, hingeY, angle, axisX, axisY;
    };
    static constexpr Fold folds[4] = {
        {1, 0, 90, 0, 1},
        {-1, 0, -90, 0, 1},
        {0, 1, -90, 1, 0},
        {0, -1, 90, 1, 0},
    };
    Affine sheets[6];
    for (int f = 0; f < 4; ++f) {
        const Fold& fold = folds[f];
        sheets[f + 1] = Affine{}
                            .translated(fold.hingeX * half, fold.hingeY * half, 0)
                            .rotated(fold.angle, fold.axisX, fold.axisY, 0)
                            .translated(-fold.hingeX * half, -fold.hingeY * half, 0);
    }
    sheets[5] = Affine{}.translated(0, 0, 3 * s);
    // The centre square and its neighbours to the left, right, top and bottom.
    static constexpr double squares[5][2] = {{0, 0}, {-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    static constexpr double square[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    for (const Affine& sheet : sheets) {
        for (const auto& offset : squares) {
            for (const auto& corner : square) {
                sheet.apply(offset[0] * s + corner[0] * h, offset[1] * s + corner[1] * h, 0, corners);
                corners += 3;
            }
        }
    }
}

void Papier::buildLattice(float t, float progress)
{
    float shape[3 * cornersPerBox];
    buildBox(boxSize, shape);
    // Each box spins by t / 10 degrees about (1, 1, 1) through its centre,
    // 1.5 s above its position: the spin is the same for every box.
    const float lift = 1.5f * boxSize;
    Affine spin = Affine{}.rotated(t / 10, 1, 1, 1).translated(0, 0, -lift);
    float spun[3 * cornersPerBox];
    for (int v = 0; v < cornersPerBox; ++v)
        spin.apply(shape[3 * v], shape[3 * v + 1], shape[3 * v + 2], spun + 3 * v);
    float* out = corners.data();
    for (int i = -3; i <= 3; ++i) {
        for (int j = -3; j <= 3; ++j) {
            for (int k = -3; k <= 3; ++k) {
                float p[3];
                position(boxIndex(i, j, k), progress, p);
                const float centre[3] = {p[0], p[1], lift + p[2]};
                for (int v = 0; v < 3 * cornersPerBox; ++v)
                    *out++ = centre[v % 3] + spun[v];
            }
        }
    }
}

void Papier::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    float t = static_cast<float>(elapsedMs);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glColor4f(0.25f, 0.25f, 0.1f, 1);
    glPushMatrix();
    boxSize = sizeAt(progress);
    glRotatef(t / 23, 1, 1, 1); // the whole lattice turns slowly
    // All 10290 squares in one array: placing them here costs less than a
    // matrix change for each.
    buildLattice(t, progress);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, corners.data());
    glDrawArrays(GL_QUADS, 0, boxCount * cornersPerBox);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
}
