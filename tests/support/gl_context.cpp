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

std::vector<unsigned char> readPixels(int x, int y, int width, int height)
{
    std::vector<unsigned char> rgb(3 * static_cast<size_t>(width) * static_cast<size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

std::array<unsigned char, 3> readPixel(int x, int y)
{
    std::vector<unsigned char> rgb = readPixels(x, y, 1, 1);
    return {rgb[0], rgb[1], rgb[2]};
}
