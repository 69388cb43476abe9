#include "effect_fixture.h"
#include "sprite_footprint.h"

#include <cmath>

namespace {

class SpriteFootprintTest : public EffectTest {
protected:
    // An 8 x 8 RGBA image, clear but for the texels named (column, row).
    static void imageLitAt(const char* name, std::initializer_list<std::array<int, 2>> lit)
    {
        PngLayout layout;
        layout.width = layout.height = 8;
        layout.colourType = 6; // RGBA
        layout.rows.assign(8 * 8 * 4, 0);
        for (const auto& texel : lit)
            layout.rows[4 * (8 * texel[1] + texel[0]) + 3] = 255;
        EXPECT_TRUE(writePng(name, layout));
        listImage(name);
    }
};

TEST_F(SpriteFootprintTest, ClearSurroundReachesOneTexelBeyondTheFarthestLitOne)
{
    imageLitAt("centre.png", {{3, 3}, {4, 4}});
    imageLitAt("edge.png", {{0, 4}});
    imageLitAt("clear.png", {});
    addSolidImage({"rgb.png", {255, 255, 255}});
    loadImages();
    // Texel (4, 4) has its centre at (4.5 / 8, 4.5 / 8), 1 / 16 * sqrt 2 from the middle.
    EXPECT_NEAR(transparentBeyond(images[0].pixels), std::sqrt(2.0) / 16 + std::sqrt(2.0) / 8, 1e-12);
    EXPECT_LT(transparentBeyond(images[1].pixels), 0); // a clamped lookup reaches the edge from outside
    EXPECT_NEAR(transparentBeyond(images[2].pixels), std::sqrt(2.0) / 8, 1e-12);
    EXPECT_LT(transparentBeyond(images[3].pixels), 0); // no alpha
    EXPECT_LT(transparentBeyond(nullptr), 0);
}

TEST_F(SpriteFootprintTest, OnlyAClampedTransparentBorderAndAnAlphaPassingEnvironmentQualify)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    const GLfloat clear[4] = {0, 0, 0, 0}, opaque[4] = {0, 0, 0, 1};
    struct Case {
        GLenum env, wrap, minFilter;
        const GLfloat* border;
        bool qualifies;
    } cases[] = {
        {GL_MODULATE, GL_CLAMP, GL_LINEAR, clear, true},
        {GL_REPLACE, GL_CLAMP, GL_NEAREST, clear, true},
        {GL_DECAL, GL_CLAMP, GL_LINEAR, clear, false}, // the base colour shows where the texture is clear
        {GL_MODULATE, GL_REPEAT, GL_LINEAR, clear, false},
        {GL_MODULATE, GL_CLAMP, GL_LINEAR_MIPMAP_LINEAR, clear, false},
        {GL_MODULATE, GL_CLAMP, GL_LINEAR, opaque, false},
    };
    for (const Case& c : cases) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, c.env);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, c.wrap);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, c.minFilter);
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, c.border);
        EXPECT_EQ(clearTexelsAddNothing(GL_TEXTURE_2D), c.qualifies) << &c - cases;
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDeleteTextures(1, &texture);
}

} // namespace
