// A real OpenGL context for tests (a GLUT window, under Xvfb in CI), set up
// with the demo's own camera.
#pragma once

#include <GL/gl.h>

#include <array>
#include <vector>

// Creates the window once per process and makes its context current.
void ensureGlContext();
// Clears colour and depth and resets the model-view matrix to the camera.
void resetFrame();
// Reads the back buffer's window rectangle at (x, y) (from the left and the
// bottom) as RGB triples, bottom row first.
std::vector<unsigned char> readPixels(int x, int y, int width, int height);
// Reads one pixel of the back buffer (x from the left, y from the bottom).
std::array<unsigned char, 3> readPixel(int x, int y);
// The same at a window position {x, y}, as a projection of a point gives it.
inline std::array<unsigned char, 3> readPixel(std::array<int, 2> at)
{
    return readPixel(at[0], at[1]);
}
constexpr int testWindowWidth = 640;
constexpr int testWindowHeight = 480;
