#include "engine_state.h"
#include "gl_context.h"
#include "probe_effect.h"
#include "temp_dir.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { resetEngineState(); }
    void TearDown() override { resetEngineState(); }
};

TEST_F(RegistryTest, DuplicateNameIsReportedOnceAndKeptOnce)
{
    ProbeEffect a("bobel");
    ::testing::internal::CaptureStdout();
    ProbeEffect b("bobel");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "double Effect name found: bobel. check that wil you\n");
    EXPECT_EQ(effectRegistry.count, 1);
    EXPECT_EQ(findEffect("bobel"), &a);
}

TEST_F(RegistryTest, ShorterNameThatPrefixesARegisteredOneClashes)
{
    ProbeEffect a("bubble");
    ::testing::internal::CaptureStdout();
    ProbeEffect b("bub");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "double Effect name found: bub. check that wil you\n");
    EXPECT_EQ(effectRegistry.count, 1);
}

TEST_F(RegistryTest, LookupIsByPrefixFirstMatchWins)
{
    ProbeEffect bobel("bobel");
    ProbeEffect bubble("bubble");
    ProbeEffect text("text");
    EXPECT_EQ(findEffect("b"), &bobel);
    EXPECT_EQ(findEffect("bu"), &bubble);
    EXPECT_EQ(findEffect("text"), &text);
    EXPECT_EQ(findEffect("texts"), nullptr);
}

TEST_F(RegistryTest, DestroyedEffectLeavesTheRegistry)
{
    auto* gone = new ProbeEffect("gone");
    ProbeEffect kept("kept");
    delete gone;
    EXPECT_EQ(effectRegistry.count, 1);
    EXPECT_EQ(findEffect("gone"), nullptr);
    EXPECT_EQ(findEffect("kept"), &kept);
}

TEST_F(RegistryTest, SlotsBeyondThirtyTwoAreRefused)
{
    ProbeEffect many("many");
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 33; ++i)
        many.addTexture("x.png");
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("too many textures"), std::string::npos);
    EXPECT_EQ(many.textureCount, Effect::maxSlots);
}

class SlotTest : public RegistryTest {
protected:
    void SetUp() override
    {
        ensureGlContext();
        RegistryTest::SetUp();
    }
};

TEST_F(SlotTest, UnresolvedSlotPrintsThreeMessagesAndKeeps666)
{
    ProbeEffect effect("effect", {"missing.png"});
    loadTextures();
    ::testing::internal::CaptureStdout();
    effect.resolveTextures();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "yo men, me koed not lood missing.png\n"
                                                        "yo men, me koed not lood missing.png\n"
                                                        "yo man, me koed not lood missing.png\n");
    EXPECT_EQ(effect.textureId(0), Effect::unresolved);
    EXPECT_EQ(effect.textureTarget(0), Effect::unresolved);
    EXPECT_EQ(effect.texturePixels(0), nullptr);
    // Slots that were never named read as unresolved too.
    EXPECT_EQ(effect.textureId(5), Effect::unresolved);
    EXPECT_EQ(effect.textureId(-1), Effect::unresolved);
}

TEST_F(SlotTest, EffectWithoutSlotsPrintsNothing)
{
    ProbeEffect effect("plain");
    loadTextures();
    ::testing::internal::CaptureStdout();
    effect.resolveTextures();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(effect.slotIds.empty());
}

TEST_F(SlotTest, SlotMatchesTheFirstImageThatBeginsWithItsName)
{
    TempDir dir;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ASSERT_TRUE(writeSolidRgbPng("bobel1.png.old", 4, 4, 255, 0, 0));
    ASSERT_TRUE(writeSolidRgbPng("bobel1.png", 4, 4, 0, 255, 0));
    images[0].name = "bobel1.png.old";
    images[0].target = GL_TEXTURE_2D;
    images[1].name = "bobel1.png";
    images[1].target = GL_TEXTURE_2D;
    imageCount = 2;
    ProbeEffect one("one", {"bobel1.png"});
    ProbeEffect two("two", {"bobel1.png"});
    loadTextures();
    one.resolveTextures();
    two.resolveTextures();
    ASSERT_EQ(chdir("/"), 0);
    EXPECT_EQ(one.textureId(0), textureNames[0]);
    EXPECT_EQ(two.textureId(0), one.textureId(0));
    ASSERT_NE(one.texturePixels(0), nullptr);
    EXPECT_EQ(one.texturePixels(0)[0], 255);
    EXPECT_EQ(one.texturePixels(0), two.texturePixels(0));
}

} // namespace
