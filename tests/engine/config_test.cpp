#include "config.h"
#include "engine_state.h"
#include "gl_context.h"
#include "probe_effect.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGlContext();
        resetEngineState();
    }
    void TearDown() override { resetEngineState(); }

    // Reads text as config.ini and returns what the reader printed.
    std::string read(const std::string& text)
    {
        std::string path = dir.write("config.ini", text);
        ::testing::internal::CaptureStdout();
        opened = readConfig(path.c_str());
        return ::testing::internal::GetCapturedStdout();
    }

    TempDir dir;
    bool opened = false;
};

TEST_F(ConfigTest, EmptyOrCommentOnlyFileKeepsDefaults)
{
    EXPECT_EQ(read(";only a comment\n\n[demo]\n; another\n"), "");
    EXPECT_TRUE(opened);
    EXPECT_FALSE(fullscreen);
    EXPECT_TRUE(soundEnabled);
    EXPECT_EQ(imagePath, "");
    EXPECT_EQ(demoEnd, 0u);
    EXPECT_EQ(musicPath[0], '\0');
}

TEST_F(ConfigTest, MissingFileIsReported)
{
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(readConfig(dir.file("nowhere.ini").c_str()));
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("cannot open"), std::string::npos);
}

TEST_F(ConfigTest, DemoKeysMatchByPrefixAndAreCaseSensitive)
{
    read("[demo]\nfullscreenmode = truely\nimagepath = img/\nsoundpath = snd/\n");
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(imagePath, "img/");
    EXPECT_EQ(soundPath, "snd/");
    EXPECT_TRUE(soundEnabled);

    resetConfig();
    read("[demo]\nfullscreen = TRUE\nsound = False\n");
    EXPECT_FALSE(fullscreen);
    EXPECT_TRUE(soundEnabled);
}

TEST_F(ConfigTest, SoundpathBeginningWithFalseSwitchesSoundOffForGood)
{
    read("[demo]\nsoundpath = falsetto/\nsound = true\n");
    EXPECT_FALSE(soundEnabled);
    EXPECT_EQ(soundPath, "falsetto/");
}

TEST_F(ConfigTest, DemoLineNeedsBlankBeforeEquals)
{
    std::string out = read("[demo]\nfullscreen=true\nstarttime = 5\n");
    EXPECT_EQ(out, "Error line: fullscreen=true\nstarttime is ignored unless DEBUG is defined\n");
    EXPECT_FALSE(fullscreen);
}

TEST_F(ConfigTest, HeaderWithTrailingTextAndRepeatedSections)
{
    ProbeEffect bobel("bobel");
    read("ignored before any header\n[effects] trailing words\nbobel 0 5000 0 1\n"
         "[demo]\nsound = false\n[effects]\nbobel 6000 7000 a b\n");
    EXPECT_FALSE(soundEnabled);
    ASSERT_EQ(layerLength[1], 1);
    EXPECT_EQ(layers[1][0].effect, &bobel);
    EXPECT_EQ(layers[1][0].start, 0u);
    EXPECT_EQ(layers[1][0].end, 5000u);
    EXPECT_EQ(layers[1][0].track, 0);
    // Layer and track are hexadecimal: a is 10, b is 11.
    ASSERT_EQ(layerLength[11], 1);
    EXPECT_EQ(layers[11][0].track, 10);
    EXPECT_EQ(highestLayer, 11);
    EXPECT_EQ(demoEnd, 7000u);
}

TEST_F(ConfigTest, LeadingBlankDoesNotMakeAComment)
{
    std::string out = read("[effects]\n ;bobel\n");
    EXPECT_EQ(out, "Error line:  ;bobel\n\n");
}

TEST_F(ConfigTest, MalformedTimelineAndParameterLinesAreDropped)
{
    ProbeEffect bobel("bobel");
    std::string out = read("[effects]\nbobel 0 1000 0 0\nbobel 2000 zz\n[parameters]\n1.5 100\n");
    EXPECT_EQ(out, "Error line: bobel 2000 zz\n\nError line: 1.5 100\n\n");
    EXPECT_EQ(layerLength[0], 1);
    EXPECT_EQ(trackLength[0], 0);
}

TEST_F(ConfigTest, OutOfRangeLayersTracksAndTimesAreRefused)
{
    ProbeEffect bobel("bobel");
    std::string out = read("[effects]\nbobel 0 1000 0 10\nbobel 0 1000 10 0\nbobel 0 99999999999 0 0\n"
                           "[parameters]\n1.0 0 10\n2.0 0 f\n3.0 4294967296 0\n");
    EXPECT_NE(out.find("layer 10 is out of range"), std::string::npos);
    EXPECT_NE(out.find("track 10 is out of range (0 to f): bobel"), std::string::npos);
    EXPECT_NE(out.find("time out of range"), std::string::npos);
    EXPECT_NE(out.find("track 10 is out of range (0 to f): key dropped"), std::string::npos);
    EXPECT_NE(out.find("time out of range (at most 4294967295 ms): key dropped"), std::string::npos);
    EXPECT_EQ(trackLength[0], 0);
    for (int l = 0; l < layerCount; ++l)
        EXPECT_EQ(layerLength[l], 0) << "layer " << l;
    EXPECT_EQ(demoEnd, 0u);
    EXPECT_EQ(trackLength[15], 1);
}

TEST_F(ConfigTest, UnknownEffectNameIsReportedWithoutNewline)
{
    EXPECT_EQ(read("[effects]\nnosuch 0 100 0 0\n"), "Effect name nosuch dus not exist");
    EXPECT_EQ(layerLength[0], 0);
}

TEST_F(ConfigTest, ParametersAreStoredByTrack)
{
    read("[parameters]\n0.25 0 2\n1.0 1000 2\n");
    EXPECT_EQ(trackLength[2], 2);
    EXPECT_EQ(highestTrack, 2);
    EXPECT_FLOAT_EQ(tracks[2][0].value, 0.25f);
    EXPECT_EQ(tracks[2][1].time, 1000u);
}

TEST_F(ConfigTest, ImageBlockWithPriorityBeforeName)
{
    read("[images]\npriority 1.0\nname bobel1.png\ntarget GL_TEXTURE_2D\n"
         "texParameter GL_TEXTURE_MIN_FILTER GL_LINEAR\n");
    ASSERT_EQ(imageCount, 1);
    EXPECT_EQ(images[0].name, "bobel1.png");
    EXPECT_FLOAT_EQ(images[0].priority, 1.0f);
    EXPECT_EQ(images[0].target, static_cast<GLenum>(GL_TEXTURE_2D));
    ASSERT_EQ(images[0].texParameterCount, 1);
    EXPECT_EQ(images[0].texParameters[0].name, GL_TEXTURE_MIN_FILTER);
    EXPECT_EQ(images[0].texParameters[0].value, GL_LINEAR);
}

TEST_F(ConfigTest, TexEnvModesAndColour)
{
    read("[images]\nname a.png\ntexEnv GL_TEXTURE_ENV_MODE GL_SPHERE_MAP\ntexEnv GL_TEXTURE_ENV_MODE GL_DECAL\n"
         "texEnv GL_TEXTURE_ENV_COLOR 12345\ntexEnv GL_NOTHING GL_REPLACE\n"
         "texParameter GL_TEXTURE_WRAP_T GL_CLAMP\ntexParameter GL_UNKNOWN GL_UNKNOWN\n");
    const ImageRecord& image = images[0];
    ASSERT_EQ(image.texEnvCount, 4);
    EXPECT_EQ(image.texEnvs[0].name, GL_TEXTURE_ENV_MODE);
    EXPECT_EQ(image.texEnvs[0].value, GL_MODULATE);
    EXPECT_EQ(image.texEnvs[1].value, GL_DECAL);
    EXPECT_EQ(image.texEnvs[2].name, GL_TEXTURE_ENV_COLOR);
    EXPECT_EQ(image.texEnvs[2].value, 12345);
    EXPECT_EQ(image.texEnvs[3].name, 0);
    ASSERT_EQ(image.texParameterCount, 2);
    EXPECT_EQ(image.texParameters[0].name, GL_TEXTURE_WRAP_T);
    EXPECT_EQ(image.texParameters[0].value, GL_CLAMP);
    EXPECT_EQ(image.texParameters[1].name, 0);
    EXPECT_EQ(image.texParameters[1].value, 0);
}

TEST_F(ConfigTest, ImageLinesBeforeAnyNameAreIgnored)
{
    std::string out = read("[images]\ntarget GL_TEXTURE_2D\ntexEnv GL_TEXTURE_ENV_MODE GL_DECAL\n"
                           "texParameter GL_TEXTURE_MIN_FILTER GL_LINEAR\nname\nname a.png\n");
    EXPECT_NE(out.find("target line without an image"), std::string::npos);
    EXPECT_NE(out.find("texEnv line without an image"), std::string::npos);
    EXPECT_NE(out.find("texParameter line without an image"), std::string::npos);
    ASSERT_EQ(imageCount, 1);
    EXPECT_EQ(images[0].target, 0u);
    EXPECT_EQ(images[0].texEnvCount, 0);
}

TEST_F(ConfigTest, ImageTableLimitsAreRefused)
{
    std::string text = "[images]\nname first.png\n";
    for (int i = 0; i < 9; ++i)
        text += "texParameter GL_TEXTURE_WRAP_S GL_REPEAT\ntexEnv GL_TEXTURE_ENV_MODE GL_DECAL\n";
    for (int i = 1; i < 64; ++i)
        text += "name image" + std::to_string(i) + ".png\n";
    text += "priority 0.5\nname extra.png\ntarget GL_TEXTURE_2D\n";
    std::string out = read(text);
    EXPECT_NE(out.find("too many texParameter lines for first.png (at most 8)"), std::string::npos);
    EXPECT_NE(out.find("too many texEnv lines for first.png (at most 8)"), std::string::npos);
    EXPECT_NE(out.find("priority 0.5 refused"), std::string::npos);
    EXPECT_NE(out.find("extra.png refused"), std::string::npos);
    EXPECT_NE(out.find("target line without an image"), std::string::npos);
    EXPECT_EQ(imageCount, 64);
    EXPECT_EQ(images[0].texParameterCount, 8);
    EXPECT_EQ(images[0].texEnvCount, 8);
    EXPECT_EQ(images[63].target, 0u);
}

TEST_F(ConfigTest, MusicPathJoinsSoundPathAndLastLineWins)
{
    read("[demo]\nsoundpath = music/\n[music]\nfirst.mp3\nsecond.mp3\n");
    EXPECT_STREQ(musicPath, "music/second.mp3");
}

TEST_F(ConfigTest, MusicPathLongerThanItsBufferIsRefused)
{
    std::string out = read("[demo]\nsoundpath = a/very/long/directory/\n[music]\nok.mp3\nsoundtrack-final.mp3\n");
    EXPECT_NE(out.find("music path too long"), std::string::npos);
    EXPECT_STREQ(musicPath, "a/very/long/directory/ok.mp3");
}

TEST_F(ConfigTest, EmptyMusicLineIsAnErrorLine)
{
    EXPECT_EQ(read("[music]\n   \n"), "Error line:    \n\n");
}

TEST_F(ConfigTest, LongLineIsReadInPiecesOf79)
{
    ProbeEffect bobel("bobel");
    std::string name(85, 'x');
    std::string out = read("[effects]\n" + name + " 0 100 0 0\n");
    // The first 79 characters form a line of their own without the numbers.
    EXPECT_EQ(out.rfind("Error line: " + std::string(79, 'x') + "\n", 0), 0u);
    EXPECT_EQ(layerLength[0], 0);
}

TEST_F(ConfigTest, SlotsAreResolvedAtTheEndOfTheFile)
{
    ProbeEffect bobel("bobel", {"bobel1.png"});
    ::testing::internal::CaptureStderr();
    std::string out = read("[images]\nname bobel1.png-missing\ntarget GL_TEXTURE_2D\n");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "bad png bad bad bad png bobel1.png-missing\n");
    // The name matches by prefix, so id and target resolve; the image has no pixels.
    EXPECT_EQ(out, "yo man, me koed not lood bobel1.png\n");
    ASSERT_EQ(bobel.slotIds.size(), 1u);
    EXPECT_NE(bobel.textureId(0), Effect::unresolved);
    EXPECT_EQ(bobel.textureTarget(0), static_cast<GLenum>(GL_TEXTURE_2D));
    EXPECT_EQ(bobel.texturePixels(0), nullptr);
}

} // namespace
