#include "decompose.h"

#include <cmath>
#include <numbers>

namespace {

// Each pass: the periods in ms of its x and y trembling, and its colour.
struct Pass {
    double periodX, periodY;
    GLfloat red, green, blue;
};

constexpr Pass passes[3] = {
    {1300, 800, 0, 0, 1},
    {1000, 1200, 1, 0, 0},
    {1400, 1500, 0, 1, 0},
};

// The picture lies this deep, so that 440 x 330 slightly overfills the view.
constexpr GLfloat depth = -190;

// Texture coordinates keep clear of the image's border texels.
constexpr GLfloat texCoords[4][2] = {{0.01f, 0.99f}, {0.99f, 0.99f}, {0.99f, 0.01f}, {0.01f, 0.01f}};

} // namespace

Decompose::Decompose(const char* name)
{
    registerAs(name);
    addTexture("owns.png");
}

void Decompose::passOffset(int pass, float t, float& x, float& y)
{
    const double twoPi = 2 * std::numbers::pi;
    x = static_cast<float>(2 * std::sin(twoPi * t / passes[pass].periodX));
    y = static_cast<float>(2 * std::sin(twoPi * t / passes[pass].periodY));
}

void Decompose::draw(int elapsedMs, float, float)
{
    static constexpr float picture[4][2] = {{-220, -165}, {220, -165}, {220, 165}, {-220, 165}};
    for (int c = 0; c < 4; ++c) {
        corners[c][0] = picture[c][0];
        corners[c][1] = picture[c][1];
    }
    float t = static_cast<float>(elapsedMs);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureId(0));
    // Modulation keeps exactly one colour channel per pass.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);

    for (int pass = 0; pass < 3; ++pass) {
        float x, y;
        passOffset(pass, t, x, y);
        glPushMatrix();
        glTranslatef(x, y, 0);
        glColor4f(passes[pass].red, passes[pass].green, passes[pass].blue, 1);
        glBegin(GL_QUADS);
        for (int c = 0; c < 4; ++c) {
            glTexCoord2fv(texCoords[c]);
            glVertex3f(corners[c][0], corners[c][1], depth);
        }
        glEnd();
        glPopMatrix();
    }

    glColor4f(0, 0, 0, 1);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_TEXTURE_2D);
}
