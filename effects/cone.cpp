#include "cone.h"

#include "entry_progress.h"

Cone::Cone(const char* name)
{
    registerAs(name);
    addTexture("cone1.png");
    quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricTexture(quadric, GL_TRUE);
    baseRadius = 16;
}

Cone::~Cone()
{
    gluDeleteQuadric(quadric);
}

float Cone::growth(float progress)
{
    return progress < 0.5f ? 2 * progress : 1 - 2 * (progress - 0.5f);
}

void Cone::draw(int, float progress, float value)
{
    progress = entryProgress(progress);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    // The slot's own target (2D or 1D) is switched on as a capability.
    glEnable(textureTarget(0));
    glColor4f(1, 1, 1, 1);

    glPushMatrix();
    if (value < 2.0f)
        glTranslatef(0, -80, 0);
    else
        glTranslatef(-13, 0, 0);
    glRotatef(-90, 1, 0, 0); // GLU's cone axis (z) points up the screen

    float k = growth(progress);
    narrowTop = 20 * k;
    wideTop = 22 * k;
    height = 20 * k;

    // Outer faces of both cones, then their inner faces.
    glCullFace(GL_BACK);
    glBindTexture(textureTarget(0), textureId(0));
    gluCylinder(quadric, baseRadius, wideTop, height, 32, 32);
    gluCylinder(quadric, baseRadius, narrowTop, height, 32, 32);
    glCullFace(GL_FRONT);
    gluCylinder(quadric, baseRadius, narrowTop, height, 32, 32);
    gluCylinder(quadric, baseRadius, wideTop, height, 32, 32);
    glCullFace(GL_BACK);

    glPopMatrix();
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_CULL_FACE);
    glDisable(textureTarget(0));
    glDisable(GL_BLEND);
}
