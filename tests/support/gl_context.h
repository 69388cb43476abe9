// A real OpenGL context for tests (a GLUT window, under Xvfb in CI), set up
// with the demo's own camera.
#pragma once

#include <GL/gl.h>

#include <array>

// Creates the window once per process and makes its context current.
void ensureGlContext();
// Clears colour and depth and resets the model-view matrix to the camera.
void resetFrame();
// Reads one pixel of the back buffer (x from the left, y from the bottom).
std::array<unsigned char, 3> readPixel(int x, int y);
constexpr int testWindowWidth = 640;
constexpr int testWindowHeight = 480;
