#include "nookie.h"

#include "entry_progress.h"

#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

Nookie::Nookie(const char* name)
{
    registerAs(name);
    for (int i = 0; i < 3 * pointCount; ++i)
        indices[i] = i;
}

float Nookie::envelope(float t, float progress)
{
    float length = t / progress; // the entry's length in ms
    if (t < 2000)
        return t / 2000;
    if (t < length - 2000)
        return 1;
    return 1 - (t - (length - 2000)) / 2000;
}

void Nookie::buildSpiral(float t, float e)
{
    const double twoPi = 2 * std::numbers::pi;
    const double pitch = std::sin(t / 1000.0) + 10;
    const double radiusX = 2 * std::sin(t / 320.0) + 10;
    const double radiusY = 2 * std::cos(t / 240.0) + 10;
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < pointsPerRing; ++j) {
            float* v = vertices + 3 * (j + pointsPerRing * i);
            double turn = j * twoPi / pointsPerRing;
            float z = static_cast<float>(pitch * (i + j / 9.0));
            // The sideways wiggle follows the unscaled depth.
            v[0] = static_cast<float>(2 * std::sin(z) + radiusX * std::sin(turn));
            v[1] = static_cast<float>(radiusY * std::cos(turn));
            v[2] = z * e;
        }
    }
    // Vertex k is lit with the normal of triangle k. For the first 36 that is
    // the triple (3k, 3k + 1, 3k + 2); the later strip vertices take the
    // triangle of the three consecutive points from k on (from 105 on at the
    // end), so every normal comes from points that exist.
    const int triples = pointCount / 3;
    faceNormals(triples, vertices, indices, normals);
    for (int k = triples; k < pointCount; ++k)
        faceNormals(1, vertices, indices + std::min(k, pointCount - 3), normals + 3 * k);
}

void Nookie::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    float t = static_cast<float>(elapsedMs);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0, -85);
    glRotatef(static_cast<float>(std::sin(t / 550.0) * 3.14159f * 1.5f), 1, 1, 0); // a gentle wobble
    glRotatef(t * 0.1244f, 0, 0, 1);
    glColor4f(0.5f, 0.5f, 0.2f, 0.7f);

    buildSpiral(t, envelope(t, progress));

    static const GLfloat ambient[] = {0.1f, 0.1f, 0.1f, 1};
    static const GLfloat diffuse[] = {0.4f, 0.4f, 0.4f, 1};
    static const GLfloat position[] = {0, 0, 500, 1};
    // Placed after the rotations, so the light turns with the spiral.
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glFrontFace(GL_CCW);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE); // glows: additive, whatever the alpha
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glNormalPointer(GL_FLOAT, 0, normals);
    glDrawElements(GL_TRIANGLE_STRIP, pointCount, GL_UNSIGNED_INT, indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);

    glColor4f(0, 0, 0, 1); // left black for whatever draws next
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_COLOR_MATERIAL);
    glPopMatrix();
}
