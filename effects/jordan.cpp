#include "jordan.h"

#include "entry_progress.h"

#include <cmath>
#include <numbers>

Jordan::Jordan(const char* name)
{
    registerAs(name);
    addTexture("OrB-jordan.png");
}

void Jordan::centre(float progress, float& x, float& y)
{
    x = progress * 350 - 175;
    y = static_cast<float>(std::sin(progress * std::numbers::pi) * 80 - 50);
}

void Jordan::draw(int, float progress, float)
{
    progress = entryProgress(progress);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(textureTarget(0), textureId(0));

    float x, y;
    centre(progress, x, y);
    glPushMatrix();
    glTranslatef(x, y, 0);
    glRotatef(progress * 360, 0, 1, 0);
    // No colour of its own: the square takes the current colour through the
    // image's texture environment. Texture coordinates keep clear of the border.
    glBegin(GL_QUADS);
    glTexCoord2f(0.01f, 0.01f);
    glVertex3f(-50, 50, 0);
    glTexCoord2f(0.99f, 0.01f);
    glVertex3f(50, 50, 0);
    glTexCoord2f(0.99f, 0.99f);
    glVertex3f(50, -50, 0);
    glTexCoord2f(0.01f, 0.99f);
    glVertex3f(-50, -50, 0);
    glEnd();
    glPopMatrix();

    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}
