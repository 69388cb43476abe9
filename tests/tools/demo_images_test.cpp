// The committed demo images: all 32 present, each decodable by the engine
// with the channels its effect needs, and exactly what make-images paints.
#include "images.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace {

struct PngDeleter {
    void operator()(PngImage* image) const { freePng(image); }
};
using PngPtr = std::unique_ptr<PngImage, PngDeleter>;

const std::string imageDir = DEMO_IMAGES_DIR;

struct Expected {
    const char* file;
    int channels; // 4 where an effect blends by the image's alpha
};

// Every file the effects name, with the channels that their drawing relies on.
const Expected expectedImages[] = {
    {"asci.png", 3},       {"bedankt.png", 3},  {"beer.png", 3},      {"bobel1.png", 4},   {"bobel2.png", 3},
    {"bubble2.png", 4},    {"cone1.png", 4},    {"down.png", 3},      {"fdplane1.png", 3}, {"fdplane2.png", 3},
    {"OrB-jordan.png", 4}, {"owns.png", 3},     {"preshere.png", 3},  {"star1.png", 4},    {"stoporb.png", 3},
    {"thegimp.png", 3},    {"tibet.png", 3},    {"tx_greets.png", 4}, {"tx_grp01.png", 4}, {"tx_grp02.png", 4},
    {"tx_grp03.png", 4},   {"tx_grp04.png", 4}, {"tx_grp05.png", 4},  {"tx_grp06.png", 4}, {"tx_grp07.png", 4},
    {"tx_grp08.png", 4},   {"tx_grp09.png", 4}, {"tx_grp10.png", 4},  {"up.png", 3},       {"vlakje.png", 3},
    {"world.png", 3},      {"yourorb.png", 3},
};

PngPtr load(const std::string& file)
{
    return PngPtr(loadPng((imageDir + "/" + file).c_str()));
}

const unsigned char* pixel(const PngImage& image, uint32_t x, uint32_t y)
{
    return image.pixels + (static_cast<size_t>(y) * image.width + x) * image.channels;
}

std::set<std::string> pngFilesIn(const std::string& dir)
{
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".png")
            files.insert(entry.path().filename().string());
    return files;
}

int runMakeImages(const std::string& arguments)
{
    std::string command = std::string("'") + MAKE_IMAGES_PROGRAM + "' " + arguments + " 2>/dev/null";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DemoImages, AllThirtyTwoFilesArePresentAndNoOthers)
{
    std::set<std::string> expected;
    for (const Expected& image : expectedImages)
        expected.insert(image.file);
    ASSERT_EQ(expected.size(), 32u);
    EXPECT_EQ(pngFilesIn(imageDir), expected);
}

TEST(DemoImages, EachDecodesWithTheChannelsItsEffectNeeds)
{
    for (const Expected& expected : expectedImages) {
        SCOPED_TRACE(expected.file);
        PngPtr image = load(expected.file);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->channels, expected.channels);
        if (std::string(expected.file) == "thegimp.png") {
            // Read as a colour array of 51 x 43 RGB pixels, not as a texture.
            EXPECT_EQ(pngStatus, pngNotPowerOfTwo);
            EXPECT_EQ(image->width, 51u);
            EXPECT_EQ(image->height, 43u);
        } else {
            EXPECT_EQ(pngStatus, pngOk);
            EXPECT_TRUE(isPowerOfTwo(image->width) && isPowerOfTwo(image->height));
        }
    }
}

TEST(DemoImages, LabelsAreOpaqueLettersOnAClearGround)
{
    for (const char* file : {"tx_greets.png", "tx_grp01.png", "tx_grp06.png", "tx_grp10.png", "OrB-jordan.png"}) {
        SCOPED_TRACE(file);
        PngPtr image = load(file);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->channels, 4);
        // The corners are clear, so the label floats over what lies behind it.
        EXPECT_EQ(pixel(*image, 0, 0)[3], 0);
        EXPECT_EQ(pixel(*image, image->width - 1, image->height - 1)[3], 0);
        int opaque = 0;
        for (uint32_t y = 0; y < image->height; ++y)
            for (uint32_t x = 0; x < image->width; ++x)
                opaque += pixel(*image, x, y)[3] == 255;
        EXPECT_GT(opaque, static_cast<int>(image->width * image->height / 20));
    }
}

TEST(DemoImages, StarSpriteIsBrightInTheMiddleAndClearAtItsBorder)
{
    // Morph draws the sprite with texture coordinates from -0.2 to 1.2, so
    // whatever lies at the border would show as a frame round every star.
    PngPtr star = load("star1.png");
    ASSERT_TRUE(star);
    ASSERT_EQ(star->channels, 4);
    for (uint32_t i = 0; i < star->width; ++i) {
        EXPECT_EQ(pixel(*star, i, 0)[3], 0);
        EXPECT_EQ(pixel(*star, i, star->height - 1)[3], 0);
        EXPECT_EQ(pixel(*star, 0, i)[3], 0);
        EXPECT_EQ(pixel(*star, star->width - 1, i)[3], 0);
    }
    EXPECT_EQ(pixel(*star, star->width / 2, star->height / 2)[3], 255);
}

TEST(DemoImages, QuadricTexturesShowNoSeamWhereTheyWrapRound)
{
    // GLU spheres and cones wrap s once round; the last column meets the
    // first. The step across that seam is no larger than a typical step
    // between neighbouring columns.
    for (const char* file : {"bobel1.png", "bobel2.png", "bubble2.png", "cone1.png", "fdplane1.png", "fdplane2.png"}) {
        SCOPED_TRACE(file);
        PngPtr image = load(file);
        ASSERT_TRUE(image);
        auto columnStep = [&](uint32_t a, uint32_t b) {
            double sum = 0.0;
            for (uint32_t y = 0; y < image->height; ++y)
                for (int c = 0; c < image->channels; ++c)
                    sum += std::abs(pixel(*image, a, y)[c] - pixel(*image, b, y)[c]);
            return sum / (image->height * image->channels);
        };
        double typical = 0.0;
        for (uint32_t x = 1; x < image->width; ++x)
            typical += columnStep(x - 1, x);
        typical /= image->width - 1;
        EXPECT_LE(columnStep(image->width - 1, 0), 2.0 * typical + 1.0);
    }
}

TEST(DemoImages, GimpIsAPictureOnBlack)
{
    // Puntjes adds the points' colours, so black is the background.
    PngPtr gimp = load("thegimp.png");
    ASSERT_TRUE(gimp);
    for (auto [x, y] : {std::pair{0u, 0u}, {50u, 0u}, {0u, 42u}, {50u, 42u}})
        EXPECT_EQ(pixel(*gimp, x, y)[0] + pixel(*gimp, x, y)[1] + pixel(*gimp, x, y)[2], 0);
    int lit = 0;
    for (uint32_t y = 0; y < 43; ++y)
        for (uint32_t x = 0; x < 51; ++x)
            lit += pixel(*gimp, x, y)[0] + pixel(*gimp, x, y)[1] + pixel(*gimp, x, y)[2] > 60;
    EXPECT_GT(lit, 51 * 43 / 3);
}

TEST(MakeImages, RegeneratesTheCommittedFilesByteForByte)
{
    TempDir dir;
    ASSERT_EQ(runMakeImages("'" + dir.path() + "'"), 0);
    EXPECT_EQ(pngFilesIn(dir.path()), pngFilesIn(imageDir));
    for (const Expected& expected : expectedImages) {
        SCOPED_TRACE(expected.file);
        std::string made = readFile(dir.file(expected.file));
        EXPECT_FALSE(made.empty());
        EXPECT_TRUE(made == readFile(imageDir + "/" + expected.file)) << "regenerate with tools/make-images.sh";
    }
}

TEST(MakeImages, WritesOnlyTheNamedFilesAndRefusesUnknownNames)
{
    TempDir dir;
    std::string out = "'" + dir.path() + "/out'";
    ASSERT_EQ(runMakeImages(out + " star1.png tx_grp07.png"), 0);
    EXPECT_EQ(pngFilesIn(dir.path() + "/out"), (std::set<std::string>{"star1.png", "tx_grp07.png"}));
    EXPECT_TRUE(readFile(dir.path() + "/out/star1.png") == readFile(imageDir + "/star1.png"));

    // An unknown name is refused before anything is written.
    TempDir other;
    EXPECT_NE(runMakeImages("'" + other.path() + "' star1.png nosuch.png"), 0);
    EXPECT_TRUE(pngFilesIn(other.path()).empty());
    EXPECT_NE(runMakeImages(""), 0);
}

} // namespace
