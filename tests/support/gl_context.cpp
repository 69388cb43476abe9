#include "gl_context.h"

#include "demo.h"

#include <GL/freeglut.h>

void ensureGlContext()
{
    static bool ready = false;
    if (ready)
        return;
    int argc = 1;
    char name[] = "vexa-test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(testWindowWidth, testWindowHeight);
    glutCreateWindow("vexa-test");
    onReshape(testWindowWidth, testWindowHeight);
    ready = true;
}

void resetFrame()
{
    ensureGlContext();
    onReshape(testWindowWidth, testWindowHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::array<unsigned char, 3> readPixel(int x, int y)
{
    std::array<unsigned char, 3> rgb{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}
