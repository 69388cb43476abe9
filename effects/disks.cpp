#include "disks.h"

#include <cmath>
#include <numbers>

Disks::Disks(const char* name)
    : discVertices(2 * (rimPoints + 1)), rimDepth(rimPoints), ringStep(std::numbers::pi_v<float> / 10)
{
    registerAs(name);
    discVertices[0] = 0;
    discVertices[1] = 0;
    for (int i = 1; i <= rimPoints; ++i) {
        double angle = (i - 1) * std::numbers::pi / 32;
        discVertices[2 * i] = static_cast<float>(radius * std::cos(angle));
        discVertices[2 * i + 1] = static_cast<float>(radius * std::sin(angle));
    }
}

float Disks::rippleDepth(int j, float t)
{
    double q = j * std::numbers::pi / 32;
    return static_cast<float>(1.6 * std::sin(3 * q - 0.0025 * t) + 1.6 * std::sin(5 * q + 0.005 * t));
}

void Disks::draw(int elapsedMs, float, float value)
{
    float t = static_cast<float>(elapsedMs);
    if (value < 1)
        drawRing(t);
    else if (value < 2)
        drawRipple(t);
}

void Disks::drawRing(float t)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, discVertices.data());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 0.5f, 0.5f);
    for (int i = 0; i < 20; ++i) {
        float angle = static_cast<float>(i) * ringStep;
        glPushMatrix();
        glRotatef(t / 10, 1, 1, 5); // the whole ring tumbles, 100 degrees a second
        glTranslatef(static_cast<float>(32 * std::sin(angle)), static_cast<float>(32 * std::cos(angle)),
                     static_cast<float>(64 * std::sin(t / 60 + 5 * i)));
        glDrawArrays(GL_TRIANGLE_FAN, 0, rimPoints + 1);
        glPopMatrix();
    }
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void Disks::drawRipple(float t)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // The cull-face mode stays as the frame left it: one side of the turning
    // disc disappears while it faces the viewer.
    glEnable(GL_CULL_FACE);
    // Twenty identical translucent layers add up to an almost opaque disc.
    for (int pass = 0; pass < 20; ++pass) {
        glPushMatrix();
        for (int j = 1; j <= rimPoints; ++j)
            rimDepth[j - 1] = rippleDepth(j, t);
        glTranslatef(0, 0, 150);
        glRotatef(t / 10, 1, 0, 0);
        // Pale yellow, then the same disc again in pale cyan (blue clamps to 1).
        static constexpr GLfloat colours[2][4] = {{1, 1, 0.5f, 0.5f}, {0.5f, 1, 1.5f, 0.5f}};
        glBegin(GL_TRIANGLE_FAN);
        for (const GLfloat* colour : colours) {
            glColor4fv(colour);
            glVertex3f(0, 0, 0);
            for (int j = 1; j <= rimPoints; ++j)
                glVertex3f(discVertices[2 * j], discVertices[2 * j + 1], rimDepth[j - 1]);
        }
        glEnd();
        glPopMatrix();
    }
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
}
