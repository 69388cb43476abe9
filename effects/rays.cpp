#include "rays.h"

#include <cmath>
#include <numbers>

Rays::Rays(const char* name)
{
    registerAs(name);
    for (int k = 0; k < pointsPerLine; ++k)
        lineIndices[k] = static_cast<uint32_t>(k);
}

int Rays::edgeFor(float value)
{
    if (!(value > -2147483648.0f && value < 2147483648.0f))
        return -1;
    return static_cast<int>(value);
}

// Every line carries the same travelling wave plus a standing wave of its
// own, shifted by i pi / 20; the whole band breathes with 2 + 0.4 sin(a).
void Rays::buildLines(int elapsedMs)
{
    constexpr double pi = std::numbers::pi;
    float a = static_cast<float>(elapsedMs) / 2000.0f;
    for (int i = 0; i < lineCount; ++i) {
        for (int k = 0; k < pointsPerLine; ++k) {
            double h = k / 40.0 * 2 * pi;
            float* point = linePoints[i][k];
            point[0] = static_cast<float>(k / 39.0 * 250 - 125);
            float w = static_cast<float>(std::sin(i / 20.0 * pi + h) * 10 + std::sin(a * 2 * pi + h) * 10);
            point[1] = static_cast<float>((std::sin(a) * 0.4f + 2) * w);
            point[2] = 0;
        }
    }
}

void Rays::draw(int elapsedMs, float, float value)
{
    buildLines(elapsedMs);
    edge = edgeFor(value);

    glPushMatrix();
    glLoadIdentity();
    switch (edge) {
    case bottom: glTranslatef(0, -60, -200); break;
    case top: glTranslatef(0, 60, -200); break;
    case left:
        glTranslatef(-75, 0, -200);
        glRotatef(90, 0, 0, 1);
        break;
    case right:
        glTranslatef(75, 0, -200);
        glRotatef(90, 0, 0, 1);
        break;
    default:
        // Left in the eye plane, where the near plane clips every line away.
        break;
    }

    // Brightest first, so that the darker lines lie over the brighter ones
    // and line 0, black, comes last.
    glEnableClientState(GL_VERTEX_ARRAY);
    for (int i = lineCount - 1; i >= 0; --i) {
        float shade = static_cast<float>(i);
        glColor3f(shade * 0.5f / 20 * 2, shade * 0.7f / 20 * 2, shade * 0.85f / 20 * 2);
        glVertexPointer(3, GL_FLOAT, 0, linePoints[i]);
        glDrawElements(GL_LINE_STRIP, pointsPerLine, GL_UNSIGNED_INT, lineIndices);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glPopMatrix();
}
