#include "papier.h"

#include "entry_progress.h"

#include <cstdlib>

Papier::Papier(const char* name) : latticePos(3 * boxCount), startPos(3 * boxCount)
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

void Papier::drawSquare() const
{
    float h = boxSize / 2;
    glBegin(GL_QUADS);
    glVertex3f(-h, -h, 0);
    glVertex3f(-h, h, 0);
    glVertex3f(h, h, 0);
    glVertex3f(h, -h, 0);
    glEnd();
}

// A plus of five squares: the centre one and its four neighbours.
void Papier::drawSheet() const
{
    static constexpr float arms[4][2] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    drawSquare();
    for (const auto& arm : arms) {
        glPushMatrix();
        glTranslatef(arm[0] * boxSize, arm[1] * boxSize, 0);
        drawSquare();
        glPopMatrix();
    }
}

// Six sheets folded about the box's edges into a closed box of side 3s,
// spanning z from 0 to 3s.
void Papier::drawBox() const
{
    const float half = 1.5f * boxSize;
    struct Fold {
        float hingeX, hingeY, angle, axisX, axisY;
    };
    static constexpr Fold folds[4] = {
        {1, 0, 90, 0, 1},
        {-1, 0, -90, 0, 1},
        {0, 1, -90, 1, 0},
        {0, -1, 90, 1, 0},
    };
    drawSheet();
    for (const Fold& fold : folds) {
        glPushMatrix();
        glTranslatef(fold.hingeX * half, fold.hingeY * half, 0);
        glRotatef(fold.angle, fold.axisX, fold.axisY, 0);
        glTranslatef(-fold.hingeX * half, -fold.hingeY * half, 0);
        drawSheet();
        glPopMatrix();
    }
    glPushMatrix();
    glTranslatef(0, 0, 3 * boxSize);
    drawSheet();
    glPopMatrix();
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
    for (int i = -3; i <= 3; ++i) {
        for (int j = -3; j <= 3; ++j) {
            for (int k = -3; k <= 3; ++k) {
                float p[3];
                position(boxIndex(i, j, k), progress, p);
                // Each box spins about its own centre, P + (0, 0, 1.5 s).
                glPushMatrix();
                glTranslatef(p[0], p[1], 1.5f * boxSize + p[2]);
                glRotatef(t / 10, 1, 1, 1);
                glTranslatef(0, 0, -1.5f * boxSize);
                drawBox();
                glPopMatrix();
            }
        }
    }
    glPopMatrix();
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
}
