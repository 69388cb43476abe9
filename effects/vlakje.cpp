#include "vlakje.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

Vlakje::Vlakje(const char* name)
{
    registerAs(name);
    for (int i = 0; i < side - 1; ++i) {
        for (int j = 0; j < side - 1; ++j) {
            uint32_t a = static_cast<uint32_t>(j + side * i);
            uint32_t* quad = indices + 6 * (j + (side - 1) * i);
            quad[0] = a, quad[1] = a + 1, quad[2] = a + side;
            quad[3] = a + side, quad[4] = a + 1, quad[5] = a + side + 1;
        }
    }
    // Phases in turns; only their fractional part matters.
    for (float& phase : wobblePhase)
        phase = 360.0f * (static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX));
    addTexture("vlakje.png");
}

float Vlakje::amplitude(int elapsedMs)
{
    return static_cast<float>(std::sin((elapsedMs % 2000) / 2000.0 * 2 * std::numbers::pi) / 4 + 0.75);
}

// The rest grid spans x -55.5 to 55.5 and y -42 to 42; every inner vertex
// circles its rest place once a second, the border stays put.
void Vlakje::buildMesh(int elapsedMs)
{
    constexpr double twoPi = 2 * std::numbers::pi;
    float seconds = static_cast<float>(elapsedMs) / 1000.0f;
    float radius = cellWidth / 4 * amplitude(elapsedMs);
    for (int i = 0; i < side; ++i) {
        for (int j = 0; j < side; ++j) {
            int k = j + side * i;
            float dx = 0, dy = 0;
            if (i > 0 && i < side - 1 && j > 0 && j < side - 1) {
                double turn = (seconds + wobblePhase[k]) * twoPi;
                dx = static_cast<float>(std::sin(turn) * radius);
                dy = static_cast<float>(std::cos(turn) * radius);
            }
            vertices[k][0] = static_cast<float>(j) * cellWidth - 55.5f + dx;
            vertices[k][1] = static_cast<float>(i) * cellHeight - 42.0f + dy;
            vertices[k][2] = 0;
            // Up to 32/33: the last thirty-third of the picture is not shown.
            texCoords[k][0] = static_cast<float>(j) / 33.0f;
            texCoords[k][1] = static_cast<float>(i) / 33.0f;
        }
    }
}

void Vlakje::draw(int elapsedMs, float, float)
{
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    glBindTexture(textureTarget(0), textureId(0));
    buildMesh(elapsedMs);

    // At 100 units the 111 x 84 grid just fills the 4:3 window.
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0, 0, -100);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
    glDrawElements(GL_TRIANGLES, triangleCount * 3, GL_UNSIGNED_INT, indices);

    glPopMatrix();
    glBlendFunc(GL_ONE, GL_ZERO);
    glDisable(GL_BLEND);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
}
