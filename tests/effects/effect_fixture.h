// What the effect tests share: a GL context under the demo's camera, solid
// test images loaded as the effects' textures, projection of known points to
// the screen, and readers of the OpenGL state an effect leaves behind.
#pragma once

#include "engine_state.h"
#include "gl_context.h"
#include "images.h"
#include "temp_dir.h"
#include "test_images.h"

#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <string>
#include <unistd.h>

struct SolidImage {
    const char* name;
    unsigned char red, green, blue;
    GLenum target = GL_TEXTURE_2D;
};

using Rgb = std::array<unsigned char, 3>;
using Rgba = std::array<float, 4>;

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGlContext();
        resetEngineState();
        resetFrame();
    }
    void TearDown() override
    {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        resetEngineState();
    }

    // Writes each image as a solid PNG (1D images one row high), loads them
    // with linear filtering and resolves every registered effect's slots.
    void loadImages(std::initializer_list<SolidImage> list)
    {
        TempDir dir;
        char previous[4096];
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        for (const SolidImage& image : list) {
            uint32_t height = image.target == GL_TEXTURE_1D ? 1 : 8;
            ASSERT_TRUE(writeSolidRgbPng(image.name, 8, height, image.red, image.green, image.blue));
            ImageRecord& record = images[imageCount++];
            record.name = image.name;
            record.target = image.target;
            record.texParameters[0] = {GL_TEXTURE_MIN_FILTER, GL_LINEAR};
            record.texParameterCount = 1;
        }
        loadTextures();
        for (int i = 0; i < effectRegistry.count; ++i)
            effectRegistry.effects[i]->resolveTextures();
        ASSERT_EQ(chdir(previous), 0);
    }

    // Window position of a point under the demo's camera (eye = false) or
    // given in eye coordinates (eye = true, for effects that load their own matrix).
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
        GLdouble wx, wy, wz;
        gluProject(x, y, z, modelview, projection, viewport, &wx, &wy, &wz);
        return {static_cast<int>(wx), static_cast<int>(wy)};
    }
    static Rgb pixelAt(std::array<int, 2> at) { return readPixel(at[0], at[1]); }
    static int brightness(const Rgb& p) { return p[0] + p[1] + p[2]; }

    // Pixels of the whole frame that are not black.
    static int litPixels()
    {
        std::vector<unsigned char> rgb(3 * testWindowWidth * testWindowHeight);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, testWindowWidth, testWindowHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        int lit = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            lit += rgb[i] + rgb[i + 1] + rgb[i + 2] > 0;
        return lit;
    }

    static bool on(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
    static GLint integer(GLenum name)
    {
        GLint value = 0;
        glGetIntegerv(name, &value);
        return value;
    }
    static Rgba colour()
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
    static std::array<GLint, 2> blendFunc() { return {integer(GL_BLEND_SRC), integer(GL_BLEND_DST)}; }
    static bool textureMatrixIsIdentity()
    {
        GLfloat m[16];
        glGetFloatv(GL_TEXTURE_MATRIX, m);
        for (int i = 0; i < 16; ++i)
            if (m[i] != (i % 5 == 0 ? 1.0f : 0.0f))
                return false;
        return true;
    }

    // The matrices are as the frame began: model-view mode, one entry on each
    // stack, the camera still loaded.
    static void expectMatricesRestored()
    {
        EXPECT_EQ(integer(GL_MATRIX_MODE), GL_MODELVIEW);
        EXPECT_EQ(integer(GL_MODELVIEW_STACK_DEPTH), 1);
        EXPECT_EQ(integer(GL_TEXTURE_STACK_DEPTH), 1);
        EXPECT_EQ(integer(GL_PROJECTION_STACK_DEPTH), 1);
        EXPECT_TRUE(textureMatrixIsIdentity());
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_FLOAT_EQ(m[14], -200);
        EXPECT_FLOAT_EQ(m[0], 1);
    }
    static void expectClientArraysOff()
    {
        EXPECT_FALSE(on(GL_VERTEX_ARRAY));
        EXPECT_FALSE(on(GL_NORMAL_ARRAY));
        EXPECT_FALSE(on(GL_TEXTURE_COORD_ARRAY));
        EXPECT_FALSE(on(GL_COLOR_ARRAY));
    }
    static void expectBlendOffAndReset()
    {
        EXPECT_FALSE(on(GL_BLEND));
        EXPECT_EQ(blendFunc(), (std::array<GLint, 2>{GL_ONE, GL_ZERO}));
    }
    static void expectColour(const Rgba& expected)
    {
        Rgba c = colour();
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(c[i], expected[i], 1e-6) << "component " << i;
    }
};

// Exactly matching pixel colours within the renderer's rounding.
inline void expectPixelNear(const Rgb& actual, const Rgb& expected, int tolerance = 3)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "channel " << i;
}
