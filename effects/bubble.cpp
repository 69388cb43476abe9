#include "bubble.h"

#include <cmath>
#include <numbers>

Bubble::Bubble(const char* name)
{
    registerAs(name);
    quadric = gluNewQuadric();
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricTexture(quadric, GL_TRUE);
    addTexture("bubble2.png");
}

Bubble::~Bubble()
{
    gluDeleteQuadric(quadric);
}

void Bubble::draw(int elapsedMs, float, float)
{
    double t = static_cast<double>(elapsedMs);
    glPushMatrix();
    glTranslatef(40, 0, 0);
    double w = t / 3000 * 2 * std::numbers::pi;
    glRotatef(static_cast<float>(8 * std::sin(w) + 45), 1, 0, 0); // tilt, wobbling every 3 s
    glRotatef(static_cast<float>(std::cos(w)), 1, 0, 1);
    glRotatef(static_cast<float>(t / 70 * 10), 0, 1, 0); // 10 degrees every 70 ms
    glTranslatef(0, static_cast<float>(50 * std::sin(t / 2000)), 0);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glBindTexture(textureTarget(0), textureId(0));
    glColor4f(0.5f, 0.5f, 0.5f, 1);
    gluSphere(quadric, 80, 32, 32);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glPopMatrix();
}
