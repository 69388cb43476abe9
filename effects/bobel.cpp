#include "bobel.h"

#include "entry_progress.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

static float uniform()
{
    return static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
}

Bobel::Bobel(const char* name)
{
    registerAs(name);
    addTexture("bobel2.png");
    addTexture("bobel1.png");

    // The swarm differs from run to run: the seed is the object's address.
    std::srand(static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
    particles = new float[particleCount * fieldCount];
    const double twoPi = 2.0 * std::numbers::pi;
    for (int i = 0; i < particleCount; ++i) {
        float* p = particles + i * fieldCount;
        p[red] = uniform();
        p[green] = uniform();
        p[blue] = uniform();
        int r1 = std::rand(), r2 = std::rand(), r3 = std::rand();
        float beta = static_cast<float>(twoPi * r1 / RAND_MAX);
        float gamma = static_cast<float>(twoPi * r2 / RAND_MAX);
        double alpha = twoPi * r3 / RAND_MAX;
        p[offsetX] = static_cast<float>(2.75 * std::sin(alpha) * std::sin(beta));
        p[offsetY] = static_cast<float>(2.75 * std::cos(alpha) * std::cos(gamma));
        p[offsetZ] = static_cast<float>(2.75 * std::sin(beta) * std::sin(gamma));
        p[axisX] = uniform();
        p[axisY] = uniform();
        p[axisZ] = uniform();
        p[spin] = 1.0f / (16.0f * uniform() - 8.0f);
    }

    quadric = gluNewQuadric();
}

Bobel::~Bobel()
{
    gluDeleteQuadric(quadric);
    delete[] particles;
}

static void setLight()
{
    static const GLfloat position[] = {300, 100, 50, 1};
    static const GLfloat ambient[] = {0.3f, 0.3f, 0.3f, 1};
    static const GLfloat diffuse[] = {0.7f, 0.7f, 0.7f, 1};
    static const GLfloat white[] = {1, 1, 1, 1};
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, white);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, white);
    glMaterialf(GL_FRONT, GL_SHININESS, 128);
}

void Bobel::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    setLight();
    glColor4f(0, 0, 1, 0.3f);
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricOrientation(quadric, GLU_OUTSIDE);
    gluQuadricTexture(quadric, GL_TRUE);

    glPushMatrix();
    glTranslatef(0, 0, static_cast<float>(196 * std::sin(6 * std::numbers::pi * progress)));
    glTranslatef(0, 0, 185);
    glRotatef(90, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);

    for (int i = 0; i < particleCount; ++i) {
        const float* p = particles + i * fieldCount;
        glPushMatrix();
        glRotatef(static_cast<float>(elapsedMs) * p[spin], p[axisX], p[axisY], p[axisZ]);
        glColor3f(p[red], p[green], p[blue]);
        glTranslatef(p[offsetX], p[offsetY], p[offsetZ]);
        particle.draw([this] { gluSphere(quadric, 0.125, 8, 8); });
        glPopMatrix();
    }

    // Inner ball.
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureId(0));
    glColor3f(1, 1, 1);
    ball.draw([this] { gluSphere(quadric, 2.5, 32, 32); });

    // Outer shell: inside first, then outside, its texture scrolling.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindTexture(GL_TEXTURE_2D, textureId(1));
    glMatrixMode(GL_TEXTURE);
    glCullFace(GL_FRONT);
    glPushMatrix();
    float scroll = static_cast<float>(elapsedMs) / 8000.0f;
    glTranslatef(scroll, scroll, 0);
    glColor4f(1, 1, 1, 0.2f);
    shell.draw([this] { gluSphere(quadric, 3, 32, 32); });
    glCullFace(GL_BACK);
    shell.draw([this] { gluSphere(quadric, 3, 32, 32); });
    glDisable(GL_CULL_FACE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);

    glDisable(GL_TEXTURE_2D);
    glPopMatrix();

    glColor4f(1, 1, 1, 1);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_BLEND);
    glDisable(GL_COLOR_MATERIAL);
}
