#include "engine_state.h"
#include "gl_context.h"
#include "images.h"
#include "temp_dir.h"
#include "test_images.h"

#include <gtest/gtest.h>
#include <png.h>

#include <memory>
#include <unistd.h>

namespace {

struct PngDeleter {
    void operator()(PngImage* image) const { freePng(image); }
};
using PngPtr = std::unique_ptr<PngImage, PngDeleter>;

class PngTest : public ::testing::Test {
protected:
    PngPtr decode(const PngLayout& layout)
    {
        std::string path = dir.file("test.png");
        EXPECT_TRUE(writePng(path, layout));
        return PngPtr(loadPng(path.c_str()));
    }
    TempDir dir;
};

TEST_F(PngTest, RgbStaysRgb)
{
    PngLayout layout;
    layout.width = 2;
    layout.height = 2;
    layout.rows = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    PngPtr image = decode(layout);
    ASSERT_TRUE(image);
    EXPECT_EQ(pngStatus, pngOk);
    EXPECT_EQ(image->channels, 3);
    // Top row first, no padding.
    EXPECT_EQ(std::vector<uint8_t>(image->pixels, image->pixels + 12), layout.rows);
}

TEST_F(PngTest, PaletteWithTransparencyBecomesRgba)
{
    PngLayout layout;
    layout.width = 2;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {255, 0, 0, 0, 0, 255};
    layout.transparency = {128, 255};
    layout.rows = {0, 1};
    PngPtr image = decode(layout);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->channels, 4);
    const std::vector<uint8_t> expected = {255, 0, 0, 128, 0, 0, 255, 255};
    EXPECT_EQ(std::vector<uint8_t>(image->pixels, image->pixels + 8), expected);
}

TEST_F(PngTest, PaletteWithoutTransparencyBecomesRgb)
{
    PngLayout layout;
    layout.width = 1;
    layout.height = 1;
    layout.bitDepth = 4;
    layout.colourType = PNG_COLOR_TYPE_PALETTE;
    layout.palette = {10, 20, 30, 40, 50, 60};
    layout.rows = {0x10};
    PngPtr image = decode(layout);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->channels, 3);
    EXPECT_EQ(image->pixels[0], 40);
    EXPECT_EQ(image->pixels[2], 60);
}

TEST_F(PngTest, SixteenBitRgbaIsStrippedToEightBits)
{
    PngLayout layout;
    layout.width = 1;
    layout.height = 1;
    layout.bitDepth = 16;
    layout.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    layout.rows = {0x12, 0x34, 0xab, 0xcd, 0x00, 0xff, 0xff, 0x00};
    PngPtr image = decode(layout);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->channels, 4);
    EXPECT_EQ(image->pixels[0], 0x12);
    EXPECT_EQ(image->pixels[1], 0xab);
    EXPECT_EQ(image->pixels[2], 0x00);
    EXPECT_EQ(image->pixels[3], 0xff);
}

TEST_F(PngTest, GreyBecomesRgbWithEqualComponents)
{
    PngLayout layout;
    layout.width = 2;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_GRAY;
    layout.rows = {7, 200};
    PngPtr image = decode(layout);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->channels, 3);
    const std::vector<uint8_t> expected = {7, 7, 7, 200, 200, 200};
    EXPECT_EQ(std::vector<uint8_t>(image->pixels, image->pixels + 6), expected);
}

TEST_F(PngTest, LowBitGreyAndGreyAlphaAreExpanded)
{
    PngLayout low;
    low.width = 4;
    low.height = 1;
    low.bitDepth = 2;
    low.colourType = PNG_COLOR_TYPE_GRAY;
    low.rows = {0b00011011};
    PngPtr image = decode(low);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->channels, 3);
    EXPECT_EQ(image->pixels[0], 0);
    EXPECT_EQ(image->pixels[3], 85);
    EXPECT_EQ(image->pixels[11], 255);

    PngLayout alpha;
    alpha.width = 1;
    alpha.height = 1;
    alpha.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    alpha.rows = {90, 30};
    image = decode(alpha);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->channels, 4);
    EXPECT_EQ(image->pixels[2], 90);
    EXPECT_EQ(image->pixels[3], 30);
}

TEST_F(PngTest, FileGammaIsCorrectedToTheScreen)
{
    PngLayout layout;
    layout.width = 1;
    layout.height = 1;
    layout.colourType = PNG_COLOR_TYPE_GRAY;
    layout.rows = {128};
    layout.gamma = 1.0; // linear file data appear brighter on a 2.2 screen
    PngPtr image = decode(layout);
    ASSERT_TRUE(image);
    EXPECT_GT(image->pixels[0], 180);
}

TEST_F(PngTest, NonPowerOfTwoDecodesWithStatusThree)
{
    ASSERT_TRUE(writeSolidRgbPng(dir.file("wide.png"), 100, 64, 1, 2, 3));
    PngPtr image(loadPng(dir.file("wide.png").c_str()));
    ASSERT_TRUE(image);
    EXPECT_EQ(pngStatus, pngNotPowerOfTwo);
    EXPECT_EQ(image->width, 100u);
    EXPECT_EQ(image->pixels[299], 3);
}

TEST_F(PngTest, MissingGarbageAndTruncatedFilesGiveStatusOne)
{
    EXPECT_EQ(loadPng(dir.file("absent.png").c_str()), nullptr);
    EXPECT_EQ(pngStatus, pngUnreadable);

    dir.write("text.png", "this is not a picture at all");
    EXPECT_EQ(loadPng(dir.file("text.png").c_str()), nullptr);
    EXPECT_EQ(pngStatus, pngUnreadable);

    ASSERT_TRUE(writeSolidRgbPng(dir.file("whole.png"), 16, 16, 9, 9, 9));
    std::string bytes = readFile(dir.file("whole.png"));
    dir.write("cut.png", bytes.substr(0, bytes.size() / 2));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadPng(dir.file("cut.png").c_str()), nullptr);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(pngStatus, pngUnreadable);

    dir.write("short.png", bytes.substr(0, 20));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(loadPng(dir.file("short.png").c_str()), nullptr);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(pngStatus, pngUnreadable);
}

TEST(PowerOfTwo, ZeroAndOddSizesAreNot)
{
    EXPECT_FALSE(isPowerOfTwo(0));
    EXPECT_TRUE(isPowerOfTwo(1));
    EXPECT_TRUE(isPowerOfTwo(256));
    EXPECT_FALSE(isPowerOfTwo(100));
    EXPECT_TRUE(isPowerOfTwo(0x80000000u));
    EXPECT_FALSE(isPowerOfTwo(0xffffffffu));
}

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGlContext();
        resetEngineState();
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
    }
    void TearDown() override
    {
        resetEngineState();
        EXPECT_EQ(chdir("/"), 0);
    }
    ImageRecord& add(const char* name, GLenum target)
    {
        ImageRecord& record = images[imageCount++];
        record.name = name;
        record.target = target;
        return record;
    }
    TempDir dir;
};

TEST_F(TextureTest, UploadUsesChannelCountAndConfiguredParameters)
{
    ASSERT_TRUE(writeSolidRgbPng("rgb.png", 256, 256, 10, 20, 30));
    PngLayout grey;
    grey.width = 4;
    grey.height = 2;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.rows.assign(8, 77);
    ASSERT_TRUE(writePng("grey.png", grey));
    ImageRecord& rgb = add("rgb.png", GL_TEXTURE_2D);
    rgb.texParameters[rgb.texParameterCount++] = {GL_TEXTURE_MIN_FILTER, GL_NEAREST};
    rgb.texEnvs[rgb.texEnvCount++] = {GL_TEXTURE_ENV_MODE, GL_DECAL};
    rgb.priority = 0.75f;
    add("grey.png", GL_TEXTURE_1D);
    loadTextures();
    ASSERT_EQ(textureNames.size(), 2u);

    GLint value = 0;
    glBindTexture(GL_TEXTURE_2D, textureNames[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 256);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &value);
    EXPECT_TRUE(value == 3 || value == GL_RGB || value == GL_RGB8) << value;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    GLfloat priority = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_PRIORITY, &priority);
    EXPECT_FLOAT_EQ(priority, 0.75f);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    EXPECT_EQ(value, GL_DECAL);

    glBindTexture(GL_TEXTURE_1D, textureNames[1]);
    glGetTexLevelParameteriv(GL_TEXTURE_1D, 0, GL_TEXTURE_WIDTH, &value);
    EXPECT_EQ(value, 4);
    ASSERT_NE(images[1].pixels, nullptr);
    EXPECT_EQ(images[1].pixels[1], 77);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, OddRowLengthIsUploadedWithoutReadingPastThePixels)
{
    ASSERT_TRUE(writeSolidRgbPng("gimp.png", 51, 43, 200, 100, 50));
    add("gimp.png", GL_TEXTURE_2D);
    loadTextures();
    GLint width = 0, alignment = 0;
    glBindTexture(GL_TEXTURE_2D, textureNames[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 51);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4); // restored after the upload
}

TEST_F(TextureTest, FailedImagesAreReportedAndLeftEmpty)
{
    ASSERT_TRUE(writeSolidRgbPng("good.png", 2, 2, 1, 2, 3));
    add("absent.png", GL_TEXTURE_2D);
    add("good.png", GL_TEXTURE_2D);
    add("much-too-long-image-name-here.png", GL_TEXTURE_2D);
    ::testing::internal::CaptureStderr();
    loadTextures();
    // In table order, whatever thread decoded them.
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "bad png bad bad bad png absent.png\n"
              "image path too long (more than 27 characters): much-too-long-image-name-here.png\n");
    EXPECT_EQ(images[0].pixels, nullptr);
    ASSERT_NE(images[1].pixels, nullptr);
    EXPECT_EQ(images[1].pixels[2], 3);
    EXPECT_EQ(images[2].pixels, nullptr);
    GLint width = -1;
    glBindTexture(GL_TEXTURE_2D, textureNames[0]);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 0);
}

TEST_F(TextureTest, NonPowerOfTwoIsStillUploaded)
{
    ASSERT_TRUE(writeSolidRgbPng("wide.png", 100, 64, 1, 2, 3));
    add("wide.png", GL_TEXTURE_2D);
    ::testing::internal::CaptureStderr();
    loadTextures();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(images[0].pixels, nullptr);
}

} // namespace
