#include "quad.h"

Quad::Quad(const char* name)
    // 222 x 168 units at the origin: under the demo camera, 200 units away
    // with a 45 degree view, this fills the 4:3 window. Texture row 0 (the
    // picture's top row) lies on the top edge.
    : cornerTexCoords{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, cornerVertices{{-111, 84}, {111, 84}, {111, -84}, {-111, -84}}
{
    registerAs(name);
    for (const char* file : {"preshere.png", "beer.png", "tibet.png", "world.png", "owns.png", "stoporb.png",
                             "bedankt.png", "asci.png", "yourorb.png"})
        addTexture(file);
}

int Quad::pictureFor(float value)
{
    // Compared before truncating, so that no value (huge, or not a number)
    // can name a slot past the nine.
    if (!(value >= 0.0f && value < static_cast<float>(pictureCount)))
        return -1;
    return static_cast<int>(value);
}

void Quad::draw(int, float, float value)
{
    int n = pictureFor(value);
    if (n < 0)
        return;
    glEnable(textureTarget(n));
    glBindTexture(textureTarget(n), textureId(n));
    glBegin(GL_QUADS);
    glColor3f(1, 1, 1);
    for (int k = 0; k < 4; ++k) {
        glTexCoord2fv(cornerTexCoords[k]);
        glVertex2fv(cornerVertices[k]);
    }
    glEnd();
    glDisable(textureTarget(n));
}
