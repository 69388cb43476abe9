// Common ground of the effect tests: a GL context with the demo's camera,
// images written as PNG files and loaded as textures the way config.ini
// would load them, and queries of the GL state that an effect leaves.
#pragma once

#include "engine_state.h"
#include "gl_context.h"
#include "images.h"
#include "temp_dir.h"
#include "test_images.h"

#include <GL/glu.h>
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

struct Rgb {
    uint8_t r, g, b;
};

class SceneTest : public ::testing::Test {
protected:
    // Effects that record GL objects in their constructors need the context
    // before the test's members are built.
    SceneTest() { ensureGlContext(); }
    void SetUp() override
    {
        ensureGlContext();
        resetEngineState();
        resetFrame();
        while (glGetError() != GL_NO_ERROR) {
        }
        // The states that effects carry over, back at OpenGL's defaults in
        // case an earlier test of this process changed them.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBlendFunc(GL_ONE, GL_ZERO);
        glFrontFace(GL_CCW);
        glPointSize(1);
        glColor4f(1, 1, 1, 1);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
    }
    void TearDown() override
    {
        resetEngineState();
        EXPECT_EQ(chdir("/"), 0);
    }

    // Lists an image already written to the directory as a 2D texture with
    // nearest filtering (complete without mipmaps).
    void listImage(const char* name, GLenum target = GL_TEXTURE_2D)
    {
        ImageRecord& record = images[imageCount++];
        record.name = name;
        record.target = target;
        record.texParameters[record.texParameterCount++] = {GL_TEXTURE_MIN_FILTER, GL_NEAREST};
        record.texParameters[record.texParameterCount++] = {GL_TEXTURE_MAG_FILTER, GL_NEAREST};
    }
    void addSolidImage(const char* name, Rgb colour, uint32_t width = 4, uint32_t height = 4)
    {
        ASSERT_TRUE(writeSolidRgbPng(name, width, height, colour.r, colour.g, colour.b));
        listImage(name);
    }
    // Loads the listed images and resolves the effect's slots against them.
    void loadFor(Effect& effect)
    {
        loadTextures();
        ::testing::internal::CaptureStdout();
        effect.resolveTextures();
        ::testing::internal::GetCapturedStdout();
    }

    TempDir dir;
};

// A 120 degree view instead of the demo's 45, for places the demo's camera
// does not see.
inline void useWideView()
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(120.0, 4.0 / 3.0, 1.0, 400.0);
    glMatrixMode(GL_MODELVIEW);
}

// Clears the frame and puts the camera back, leaving the projection alone.
inline void resetFrameKeepingProjection()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -200);
}

inline bool isEnabled(GLenum cap)
{
    return glIsEnabled(cap) == GL_TRUE;
}

inline GLint intState(GLenum name)
{
    GLint value[4] = {};
    glGetIntegerv(name, value);
    return value[0];
}

inline std::array<float, 4> currentColour()
{
    std::array<float, 4> colour{};
    glGetFloatv(GL_CURRENT_COLOR, colour.data());
    return colour;
}

inline std::array<float, 16> modelview()
{
    std::array<float, 16> m{};
    glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
    return m;
}

// The matrix state that every effect must leave as it found it.
struct MatrixState {
    GLint mode = intState(GL_MATRIX_MODE);
    GLint modelviewDepth = intState(GL_MODELVIEW_STACK_DEPTH);
    GLint textureDepth = intState(GL_TEXTURE_STACK_DEPTH);
    std::array<float, 16> top = modelview();
    bool operator==(const MatrixState&) const = default;
};

inline bool isLit(std::array<unsigned char, 3> pixel, int threshold = 0)
{
    return pixel[0] > threshold || pixel[1] > threshold || pixel[2] > threshold;
}

// Lit pixels in the window rectangle [x0, x1) x [y0, y1) (y from the bottom).
inline int countLit(int x0, int y0, int x1, int y1)
{
    int width = x1 - x0, height = y1 - y0;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x0, y0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    int lit = 0;
    for (size_t i = 0; i < rgb.size(); i += 3)
        lit += rgb[i] || rgb[i + 1] || rgb[i + 2];
    return lit;
}

inline int countLitInWindow()
{
    return countLit(0, 0, testWindowWidth, testWindowHeight);
}

// Where a point given in the current model-view frame lands in the window.
inline std::array<int, 2> project(double x, double y, double z)
{
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(x, y, z, model, projection, viewport, &wx, &wy, &wz);
    return {static_cast<int>(wx), static_cast<int>(wy)};
}

inline std::array<unsigned char, 3> pixelAt(std::array<int, 2> at)
{
    return readPixel(at[0], at[1]);
}

inline void expectPixelNear(std::array<unsigned char, 3> pixel, Rgb expected, int tolerance = 3)
{
    EXPECT_NEAR(pixel[0], expected.r, tolerance);
    EXPECT_NEAR(pixel[1], expected.g, tolerance);
    EXPECT_NEAR(pixel[2], expected.b, tolerance);
}

// The window positions of every vertex that draw sends down the pipeline,
// captured in feedback mode (after clipping).
inline std::vector<std::array<float, 3>> feedbackVertices(const std::function<void()>& draw)
{
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    std::vector<std::array<float, 3>> vertices;
    auto take = [&](GLint& i, int count) {
        for (int k = 0; k < count; ++k, i += 3)
            vertices.push_back({buffer[i], buffer[i + 1], buffer[i + 2]});
    };
    for (GLint i = 0; i < used;) {
        auto token = static_cast<GLenum>(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            int count = static_cast<int>(buffer[i++]);
            take(i, count);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            take(i, 2);
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            take(i, 1);
        } else {
            ++i;  // pass-through value
        }
    }
    return vertices;
}
