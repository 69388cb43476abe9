#include "vierkant.h"

#include "entry_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

Vierkant::Vierkant(const char* name)
    // Centre first, then around the square from the top-left corner; vertex
    // 9 repeats vertex 1 to close the fan. The picture is turned a quarter:
    // s grows downwards, t to the left.
    : fanVertices{{0, 0, 0},    {-20, 20, 0}, {-20, 0, 0}, {-20, -20, 0}, {0, -20, 0},
                  {20, -20, 0}, {20, 0, 0},   {20, 20, 0}, {0, 20, 0},    {-20, 20, 0}},
      fanTexCoords{{0.5f, 0.5f}, {0, 1}, {0.5f, 1}, {1, 1}, {1, 0.5f}, {1, 0}, {0.5f, 0}, {0, 0}, {0, 0.5f}, {0, 1}}
{
    registerAs(name);
    // A fixed seed: the same ten flights on every run.
    std::srand(1355817);
    constexpr double top = RAND_MAX;
    for (auto& start : flightStarts) {
        start[0] = static_cast<float>(220.0 * std::rand() / (top - 140) - 140);
        start[1] = static_cast<float>(160.0 * std::rand() / (top - 110) - 110);
    }
    constexpr float pi = std::numbers::pi_v<float>;
    const float rates[8] = {pi / 8, pi / 10, 3 * pi / 40, pi / 20, 3 * pi / 40, pi / 10, pi / 8, 3 * pi / 20};
    std::copy(std::begin(rates), std::end(rates), bobRates);
    addTexture("down.png");
    addTexture("up.png");
}

int Vierkant::flightAt(float progress)
{
    float tenths = 10.0f * progress;
    if (!(tenths > 0.0f))
        return 0;
    if (tenths >= flightCount - 1)
        return flightCount - 1;
    return static_cast<int>(tenths);
}

// The rim bobs in and out; the centre stays in the plane.
void Vierkant::bob(int elapsedMs)
{
    float t = static_cast<float>(elapsedMs);
    for (int i = 1; i <= 8; ++i)
        fanVertices[i][2] = static_cast<float>(std::sin(t * bobRates[i - 1] * 0.01) * 20);
    fanVertices[9][2] = static_cast<float>(std::sin(t * bobRates[0] * 0.01) * 20);
}

void Vierkant::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    bob(elapsedMs);
    float t = static_cast<float>(elapsedMs);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glPushMatrix();
    glRotatef(t / 60.0f, 1, 0, 1);
    glRotatef(t / 60.0f, 0, 1, 0);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_CULL_FACE);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, fanVertices);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, fanTexCoords);
    glEnable(GL_TEXTURE_2D);

    // Each tenth of the entry the sheet flies from z -100 to 100 along the
    // tumbling frame's z axis, from its own start.
    int k = flightAt(progress);
    glTranslatef(flightStarts[k][0], flightStarts[k][1], progress * 2000.0f - 100.0f - 200.0f * static_cast<float>(k));

    // Back faces culled: the first pass shows the front, the second the back.
    glFrontFace(GL_CCW);
    glBindTexture(GL_TEXTURE_2D, textureId(0));
    glColor3f(1, 1, 1);
    glDrawArrays(GL_TRIANGLE_FAN, 0, fanSize);
    glFrontFace(GL_CW);
    glBindTexture(GL_TEXTURE_2D, textureId(1));
    glColor3f(1, 1, 1);
    glDrawArrays(GL_TRIANGLE_FAN, 0, fanSize);

    glPopMatrix();
    glColor3f(1, 1, 1);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}
