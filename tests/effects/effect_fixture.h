// What the effect tests share: a GL context under the demo's camera, a scratch
// directory to work in, solid test images loaded as the effects' textures the
// way config.ini loads them, projection of known points to the window, and
// readers of the pixels and the OpenGL state that an effect leaves behind.
#pragma once

#include "engine_state.h"
#include "gl_context.h"
#include "images.h"
#include "temp_dir.h"
#include "test_images.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <vector>

using Rgb = std::array<unsigned char, 3>;
using Rgba = std::array<float, 4>;

struct SolidImage {
    const char* name;
    Rgb colour;
    GLenum target = GL_TEXTURE_2D;
};

class EffectTest : public ::testing::Test {
protected:
    // Before a test's member effects are built: some record GL objects in
    // their constructors, and each registers itself in a registry that must
    // already be empty, so that loadImages resolves it.
    EffectTest()
    {
        ensureGlContext();
        clearGlErrors();
        resetEngineState();
    }
    void SetUp() override
    {
        resetFrame();
        // The states that effects carry over, back at OpenGL's defaults in
        // case an earlier test of this process changed them.
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glBlendFunc(GL_ONE, GL_ZERO);
        glFrontFace(GL_CCW);
        glCullFace(GL_BACK);
        glPointSize(1);
        glColor4f(1, 1, 1, 1);
        // Images are named relative to the working directory: config.ini's
        // image path is too short for a temporary directory's name.
        previousDirectory = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
    }
    // A test ends with no OpenGL error pending.
    void TearDown() override
    {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        resetEngineState();
        std::filesystem::current_path(previousDirectory);
    }
    // For a test that draws on purpose without an effect's image (OpenGL
    // refuses the bind of the unresolved target) or with a value OpenGL
    // refuses: those errors are expected, not judged at the end.
    static void clearGlErrors()
    {
        while (glGetError() != GL_NO_ERROR) {
        }
    }

    // Lists a PNG file of the test's directory in the image table, as a line
    // of config.ini would, with nearest filtering (complete without mipmaps).
    static void listImage(const char* name, GLenum target = GL_TEXTURE_2D)
    {
        ImageRecord& record = images[imageCount++];
        record.name = name;
        record.target = target;
        record.texParameters[record.texParameterCount++] = {GL_TEXTURE_MIN_FILTER, GL_NEAREST};
        record.texParameters[record.texParameterCount++] = {GL_TEXTURE_MAG_FILTER, GL_NEAREST};
    }
    // Writes an image of one colour (one row high for a 1D texture) and lists it.
    static void addSolidImage(const SolidImage& image)
    {
        uint32_t height = image.target == GL_TEXTURE_1D ? 1 : 4;
        ASSERT_TRUE(writeSolidRgbPng(image.name, 4, height, image.colour[0], image.colour[1], image.colour[2]));
        listImage(image.name, image.target);
    }
    // Adds these solid images, loads every listed one and resolves every
    // registered effect's slots against them, as the end of config.ini does.
    static void loadImages(std::initializer_list<SolidImage> solids = {})
    {
        for (const SolidImage& image : solids)
            addSolidImage(image);
        loadTextures();
        for (int i = 0; i < effectRegistry.count; ++i)
            effectRegistry.effects[i]->resolveTextures();
    }

    // Window position of a point under the current model-view matrix (the
    // demo's camera) or, with eye = true, given in eye coordinates (for
    // effects that load their own matrix).
    static std::array<int, 2> project(double x, double y, double z, bool eye = false)
    {
        GLdouble modelview[16], projection[16];
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
        if (eye)
            for (int i = 0; i < 16; ++i)
                modelview[i] = i % 5 == 0 ? 1 : 0;
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        GLdouble wx = 0, wy = 0, wz = 0;
        gluProject(x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
        return {static_cast<int>(wx), static_cast<int>(wy)};
    }
    // A 120 degree view instead of the demo's 45, for places the demo's
    // camera does not see; resetFrame() puts the demo's view back.
    static void useWideView()
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(120.0, 4.0 / 3.0, 1.0, 400.0);
        glMatrixMode(GL_MODELVIEW);
    }

    static int brightness(const Rgb& p) { return p[0] + p[1] + p[2]; }
    static bool isLit(const Rgb& p, int threshold = 0) { return brightness(p) > threshold; }
    // Lit pixels in the window rectangle [x0, x1) x [y0, y1) (y from the bottom).
    static int countLit(int x0, int y0, int x1, int y1, int threshold = 0)
    {
        std::vector<unsigned char> rgb = readPixels(x0, y0, x1 - x0, y1 - y0);
        int lit = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            lit += isLit({rgb[i], rgb[i + 1], rgb[i + 2]}, threshold);
        return lit;
    }
    static int countLitInWindow(int threshold = 0)
    {
        return countLit(0, 0, testWindowWidth, testWindowHeight, threshold);
    }
    // Pixel colours that match within the renderer's rounding.
    static void expectPixelNear(const Rgb& actual, const Rgb& expected, int tolerance = 3)
    {
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
    }

    // The window positions of every vertex that draw sends down the pipeline,
    // captured in feedback mode (after clipping).
    static std::vector<std::array<float, 3>> feedbackVertices(const std::function<void()>& draw)
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
                ++i; // pass-through value
            }
        }
        return vertices;
    }

    static bool isEnabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
    // The first value of an integer state (some have up to four).
    static GLint intState(GLenum name)
    {
        GLint value[4] = {};
        glGetIntegerv(name, value);
        return value[0];
    }
    static Rgba currentColour()
    {
        Rgba c{};
        glGetFloatv(GL_CURRENT_COLOR, c.data());
        return c;
    }
    static GLint texEnvMode()
    {
        GLint mode = 0;
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        return mode;
    }

    // The matrix state that every effect must leave as it found it.
    struct MatrixState {
        GLint mode = intState(GL_MATRIX_MODE);
        GLint modelviewDepth = intState(GL_MODELVIEW_STACK_DEPTH);
        GLint textureDepth = intState(GL_TEXTURE_STACK_DEPTH);
        std::array<float, 16> top = modelview();
        bool operator==(const MatrixState&) const = default;

        static std::array<float, 16> modelview()
        {
            std::array<float, 16> m{};
            glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
            return m;
        }
    };
    // The matrices are as the frame began: model-view mode, one entry on each
    // stack, an identity texture matrix, the camera still loaded.
    static void expectMatricesRestored()
    {
        MatrixState now;
        EXPECT_EQ(now.mode, GL_MODELVIEW);
        EXPECT_EQ(now.modelviewDepth, 1);
        EXPECT_EQ(now.textureDepth, 1);
        EXPECT_EQ(intState(GL_PROJECTION_STACK_DEPTH), 1);
        EXPECT_TRUE(textureMatrixIsIdentity());
        EXPECT_FLOAT_EQ(now.top[14], -200);
        EXPECT_FLOAT_EQ(now.top[0], 1);
    }
    static void expectClientArraysOff()
    {
        EXPECT_FALSE(isEnabled(GL_VERTEX_ARRAY));
        EXPECT_FALSE(isEnabled(GL_NORMAL_ARRAY));
        EXPECT_FALSE(isEnabled(GL_TEXTURE_COORD_ARRAY));
        EXPECT_FALSE(isEnabled(GL_COLOR_ARRAY));
    }
    static void expectBlendOffAndReset()
    {
        EXPECT_FALSE(isEnabled(GL_BLEND));
        EXPECT_EQ(intState(GL_BLEND_SRC), GL_ONE);
        EXPECT_EQ(intState(GL_BLEND_DST), GL_ZERO);
    }
    static void expectColour(const Rgba& expected)
    {
        Rgba c = currentColour();
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(c[i], expected[i], 1e-6) << "component " << i;
    }

private:
    static bool textureMatrixIsIdentity()
    {
        GLfloat m[16];
        glGetFloatv(GL_TEXTURE_MATRIX, m);
        for (int i = 0; i < 16; ++i)
            if (m[i] != (i % 5 == 0 ? 1.0f : 0.0f))
                return false;
        return true;
    }

    TempDir dir;
    std::filesystem::path previousDirectory;
};
