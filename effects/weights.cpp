#include "weights.h"

#include "entry_progress.h"

#include <cmath>
#include <numbers>

Weights::Weights(const char* name)
{
    registerAs(name);
    addTexture("bobel1.png");
    addTexture("bobel2.png");
    quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricTexture(quadric, GL_TRUE);
}

Weights::~Weights()
{
    gluDeleteQuadric(quadric);
}

namespace {

constexpr double twoPi = 2 * std::numbers::pi;

// h runs 0 to 1 across a leg: (g - lower) times 1 / (upper - lower).
float across(float g, float lower, float upper)
{
    return (g - lower) * (1.0f / (upper - lower));
}

} // namespace

Weights::Pose Weights::poseAt(float g)
{
    Pose p{};
    float& x = p.pos[0];
    float& y = p.pos[1];
    float& z = p.pos[2];
    if (!(g < pathEnd))
        return p; // gone (or no place at all)
    if (g < 0.1f) {
        // Also before the start: a copy that has not set off yet waits on
        // the line extended backwards, below and behind.
        float h = g * (1.0f / 0.1f);
        p.leg = 1;
        y = 150 * h - 120;
        z = 300 * h - 150;
        p.yaw = 720 * h;
    } else if (g < 0.2f) {
        float h = across(g, 0.1f, 0.2f);
        p.leg = 2;
        x = static_cast<float>(50 * std::sin(twoPi * h));
        y = static_cast<float>(50 * std::cos(twoPi * h));
        z = 150 - 300 * h;
    } else if (g < 0.4f) {
        float h = across(g, 0.2f, 0.4f);
        p.leg = 3;
        x = static_cast<float>(50 * std::sin(3 * twoPi * h));
        y = 50 - 100 * h;
        z = 300 * h - 150;
        p.rollZ = 720 * h;
    } else if (g < 0.6f) {
        float h = across(g, 0.4f, 0.6f);
        p.leg = 4;
        x = 150 - 200 * h;
        y = 100 * h - 50;
        z = static_cast<float>(70 * std::sin(5 * twoPi * h));
        p.rollZ = 540 * h;
    } else if (g < 0.7f) {
        float h = across(g, 0.6f, 0.7f);
        p.leg = 5;
        x = 900 * (h / 2) * (h / 2) * (h / 2) - 50;
        y = 50 - 100 * h;
        p.rollZ = 360 * h * h;
    } else if (g < 0.8f) {
        float h = across(g, 0.7f, 0.8f);
        p.leg = 6;
        x = 75 - 50 * h;
        y = 100 * h - 50;
        z = static_cast<float>(100 * std::sin((h - 1) * std::numbers::pi));
        p.rollZ = -180 * h;
    } else {
        // Runs backwards, h from 0 to -0.6.
        float h = -((g - 0.8f) * (1.0f / (1.0f - 0.8f)));
        p.leg = 7;
        x = static_cast<float>(50 * std::sin(2 * twoPi * h) + 25);
        y = static_cast<float>(50 * std::cos(2 * twoPi * h));
        z = 150 * h;
    }
    return p;
}

// A bar of radius 1.5 and length 8 along the local z axis, with a ball of
// radius 2.5 centred 5.25 from the middle at each end.
void Weights::drawDumbbell()
{
    glPushMatrix();
    glTranslatef(pos[0], pos[1], pos[2]);
    glRotatef(rollZ, 0, 0, 1);
    glRotatef(yaw + 90, 0, 1, 0);
    glRotatef(pitch, 1, 0, 0);
    glBindTexture(textureTarget(0), textureId(0));
    glTranslatef(0, 0, -4);
    bar.draw([this] { gluCylinder(quadric, 1.5, 1.5, 8, 10, 2); });
    glBindTexture(textureTarget(1), textureId(1));
    glTranslatef(0, 0, -1.25f);
    ball.draw([this] { gluSphere(quadric, 2.5, 16, 16); });
    glTranslatef(0, 0, 10.5f);
    ball.draw([this] { gluSphere(quadric, 2.5, 16, 16); });
    glPopMatrix();
}

void Weights::draw(int, float progress, float)
{
    progress = entryProgress(progress);
    // The dumbbells take the current colour: none is set here.
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_POINT_SMOOTH);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(textureTarget(0));
    glEnable(GL_CULL_FACE);

    for (int i = 0; i < copyCount; ++i) {
        float g = progress - copySpacing * static_cast<float>(i);
        Pose pose = poseAt(g);
        if (pose.leg == 0)
            continue;
        pos[0] = pose.pos[0], pos[1] = pose.pos[1], pos[2] = pose.pos[2];
        rollZ = pose.rollZ;
        yaw = pose.yaw;
        pitch = pose.pitch;
        drawDumbbell();
    }

    glDisable(GL_CULL_FACE);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_DEPTH_TEST);
    glDisable(textureTarget(0));
}
