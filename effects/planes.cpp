#include "planes.h"

#include "entry_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <utility>

Planes::Planes(const char* name)
{
    registerAs(name);
    addTexture("fdplane1.png");
    addTexture("fdplane2.png");

    // A 16 x 16 grid slanting from (100, z 100) at column 0 to (20, z -100)
    // at column 15, 440 units tall.
    for (int k = 0; k < vertexCount; ++k) {
        int row = k / gridSize, column = k % gridSize;
        vertices[3 * k] = static_cast<float>(15 - column) * 80.0f / 15.0f + 20.0f;
        vertices[3 * k + 1] = static_cast<float>(row) * 440.0f / 15.0f - 220.0f;
        vertices[3 * k + 2] = static_cast<float>(column) * -200.0f / 15.0f + 100.0f;
        texCoords[2 * k] = static_cast<float>(column) * 0.06666667f;
        texCoords[2 * k + 1] = static_cast<float>(row) * 0.06666667f;
    }
    std::fill(std::begin(indices), std::end(indices), 0u);
    for (int i = 0; i < 15; ++i) {
        for (int j = 0; j < 15; ++j) {
            uint32_t* quad = indices + 6 * (j + 15 * i);
            uint32_t b = static_cast<uint32_t>(j + gridSize * i);
            quad[0] = b, quad[1] = b + 1, quad[2] = b + 16;
            quad[3] = b + 1, quad[4] = b + 17, quad[5] = b + 16;
        }
    }

    // The build-up order: the same triangles shuffled as whole triangles.
    std::copy(std::begin(indices), std::end(indices), std::begin(buildOrder));
    for (int i = 0; i < triangleCount; ++i) {
        double u = std::rand() / (RAND_MAX + 1.0);
        int k = static_cast<int>(triangleCount * u);
        if (k != i)
            std::swap_ranges(buildOrder + 3 * i, buildOrder + 3 * i + 3, buildOrder + 3 * k);
    }
}

Planes::BuildUp Planes::buildUp(int elapsedMs)
{
    float x = static_cast<float>(elapsedMs) / 10000.0f;
    if (x < 0.5f) {
        // Outlines only; the first ones appear a moment after the start.
        float a = 2.0f * x;
        int n = static_cast<int>(std::clamp(450.0f * a - 1.0f, 0.0f, 449.0f));
        return {n, 0};
    }
    // 449 outlines (the last triangle of the order never gets one) and the
    // filling growing over them.
    float a = 2.0f * x - 1.0f;
    int m = static_cast<int>(std::clamp(450.0f * a, 0.0f, 450.0f));
    return {triangleCount - 1, m};
}

namespace {

// One row of the swing table from 0.14 on: a rotation of base + sign *
// int(amplitude sin h), in whole degrees, h running 0 to 1 over the row.
struct SwingRow {
    float start;
    float scale;  // 1 / (end - start) as a single-precision multiplier,
    float length; // or, where not 0, the length that h is divided by
    double base;
    double sign;
    double amplitude;
};

// The constants chain the rows: each row's angle at h = 1 is the next row's
// angle at h = 0 (252.441295 is 300 sin 1).
constexpr SwingRow swingRows[] = {
    {0.2f, 6.2499995f, 0, 252.441295, -1, 450},  {0.36f, 20.000008f, 0, -125.558705, 1, 200},
    {0.41f, 11.111111f, 0, 42.441295, -1, 400},  {0.5f, 19.999996f, 0, -293.558705, 1, 150},
    {0.55f, 10.000004f, 0, -167.558705, 1, 367}, {0.65f, 19.999996f, 0, 140.441295, -1, 200},
    {0.7f, 0, 0.15f, -27.558705, 1, 500},        {0.85f, 0, 0.15f, 392.441295, -1, 150},
};

} // namespace

Planes::Swing Planes::swing(float g, int elapsedMs)
{
    // No place on the swing (not a number, or infinite): its end.
    if (!std::isfinite(g))
        g = 1.0f;
    constexpr double pi = std::numbers::pi;
    if (g < 0.1f) {
        // The texture slides back from -5.6 to 0 before the swings begin.
        float tenG = 10.0f * g;
        return {static_cast<float>(std::sin(tenG * pi / 2 + pi + pi / 2) * 5.6), 0.0f};
    }
    float shift = static_cast<float>(elapsedMs) / 350.0f;
    if (g < 0.14f) {
        float h = (g - 0.1f) * 25.0f;
        return {shift, static_cast<float>(300 * std::sin(static_cast<double>(h)))};
    }
    if (g < 0.2f)
        return {shift, 252.4413f};
    const SwingRow* row = std::end(swingRows) - 1;
    for (const SwingRow& candidate : swingRows)
        if (g >= candidate.start)
            row = &candidate;
    float h = row->length != 0 ? (g - row->start) / row->length : (g - row->start) * row->scale;
    double whole = std::trunc(row->amplitude * std::sin(static_cast<double>(h)));
    return {shift, static_cast<float>(row->base + row->sign * whole)};
}

void Planes::drawPlane(int plane, GLenum mode, const uint32_t* first, int count)
{
    glBindTexture(GL_TEXTURE_2D, textureId(plane));
    glDrawElements(mode, count, GL_UNSIGNED_INT, first);
}

// The second plane is the first turned half a turn about the view axis.
static void turnToSecondPlane()
{
    glRotatef(180, 0, 0, 1);
}

void Planes::drawOutlines(int triangles)
{
    for (int i = 0; i < triangles; ++i) {
        const uint32_t* triangle = buildOrder + 3 * i;
        drawPlane(0, GL_LINE_LOOP, triangle, 3);
        glPushMatrix();
        turnToSecondPlane();
        drawPlane(1, GL_LINE_LOOP, triangle, 3);
        glPopMatrix();
    }
}

void Planes::drawPair()
{
    drawPlane(0, GL_TRIANGLES, indices, indexCount);
    glPushMatrix();
    turnToSecondPlane();
    drawPlane(1, GL_TRIANGLES, indices, indexCount);
    glPopMatrix();
}

// A copy of the pair spread sideways: the first plane d to the right, the
// second d to the left.
void Planes::drawPairCopy(float offset)
{
    glPushMatrix();
    glTranslatef(offset, 0, 0);
    drawPlane(0, GL_TRIANGLES, indices, indexCount);
    glTranslatef(-offset, 0, 0);
    turnToSecondPlane();
    glTranslatef(offset, 0, 0);
    drawPlane(1, GL_TRIANGLES, indices, indexCount);
    glPopMatrix();
}

void Planes::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(textureTarget(0), textureId(0));
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);

    if (elapsedMs < introMs) {
        // The entry's length is measured once, on the first frame that gives
        // a number (the very first, at progress 0, gives none, so the
        // measurement waits for the next).
        if (entryLength < 0.1f && elapsedMs > 0 && progress > 0) {
            entryLength = static_cast<float>(elapsedMs) / progress;
            introEnd = 10000.0f / entryLength;
        }
        glColor3f(1, 1, 1);
        BuildUp shown = buildUp(elapsedMs);
        drawOutlines(shown.outlines);
        if (shown.filled > 0) {
            drawPlane(0, GL_TRIANGLES, buildOrder, 3 * shown.filled);
            glPushMatrix();
            turnToSecondPlane();
            drawPlane(1, GL_TRIANGLES, buildOrder, 3 * shown.filled);
            glPopMatrix();
        }
    } else {
        // An entry of exactly ten seconds reaches the swing only at its very
        // end, where the rest of the entry has no length: it counts as done.
        float rest = 1.0f - introEnd;
        float g = rest != 0 ? (progress - introEnd) / rest : 1.0f;
        Swing s = swing(g, elapsedMs);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glTranslatef(s.textureShift, 0, 0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glRotatef(s.angle, 0, 0, 1);

        if (progress < 0.75f) {
            glColor3f(1, 1, 1);
            drawPair();
        } else {
            // The fade-out: up to five pairs spreading sideways.
            float x = (progress - 0.75f) * 4.0f;
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glColor4f(1, 1, 1, 1 - x);
            int copies = x < 0.05 ? 0 : x < 0.16 ? 1 : x < 0.32 ? 2 : x < 0.55 ? 3 : 4;
            for (int c = copies; c >= 1; --c)
                drawPairCopy(40.0f * static_cast<float>(c));
            drawPair();
            glBlendFunc(GL_ONE, GL_ZERO);
            glDisable(GL_BLEND);
        }

        glPopMatrix();
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
}
