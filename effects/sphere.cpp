#include "sphere.h"

#include "entry_progress.h"

#include <GL/freeglut.h>

#include <climits>

Sphere::Sphere(const char* name)
{
    registerAs(name);
    addTexture("bubble2.png");
}

float Sphere::fade(int elapsedMs, float progress)
{
    if (elapsedMs < 2000)
        return static_cast<float>(elapsedMs) / 2000.0f;
    // The entry's length; at progress 0 (or a length beyond any entry) no
    // end is in sight, so the teapot stays opaque.
    if (!(progress > 0))
        return 1.0f;
    float length = static_cast<float>(elapsedMs) / progress;
    if (!(length < static_cast<float>(INT_MAX)))
        return 1.0f;
    int lengthMs = static_cast<int>(length);
    if (elapsedMs < lengthMs - 2000)
        return 1.0f;
    return 1.0f - static_cast<float>(elapsedMs - (lengthMs - 2000)) / 2000.0f;
}

float Sphere::baseGrey(float value)
{
    return value >= 1.0f && value < 2.0f ? 1.0f : 0.0f;
}

void Sphere::draw(int elapsedMs, float progress, float value)
{
    progress = entryProgress(progress);
    float e = fade(elapsedMs, progress);
    glPushMatrix();
    glRotatef(65, 1, 0, 0);
    glRotatef(static_cast<float>(elapsedMs) / 15.0f, 0, 1, 0);

    glEnable(textureTarget(0));
    glBindTexture(textureTarget(0), textureId(0));
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Decal: the texture covers the base colour where it is opaque, and the
    // fade becomes the fragment's alpha.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    float g = baseGrey(value);
    glColor4f(g, g, g, e);

    // The GLUT teapot's front faces wind clockwise.
    glFrontFace(GL_CW);
    glutSolidTeapot(190);
    glFrontFace(GL_CCW);

    glBlendFunc(GL_ONE, GL_ZERO);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(textureTarget(0));
    glPopMatrix();
}
