#include "effect_fixture.h"
#include "text.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

TEST(TextDecode, PackedParameterGivesSlotPlaceAndMode)
{
    Text::Label greets = Text::decode(1002003.0f);
    EXPECT_EQ(greets.slot, 3);
    EXPECT_EQ(greets.y, -30);
    EXPECT_EQ(greets.x, 50);
    EXPECT_EQ(greets.mode, Text::flicker);

    Text::Label spin = Text::decode(503503.3f);
    EXPECT_EQ(spin.slot, 3);
    EXPECT_EQ(spin.y, -15);
    EXPECT_EQ(spin.x, 0);
    EXPECT_EQ(spin.mode, Text::spinIn);

    EXPECT_EQ(Text::decode(505010.15f).slot, 10);
    EXPECT_EQ(Text::decode(505010.15f).mode, Text::slideRight);
}

TEST(TextDecode, LargeValuesRoundInSinglePrecision)
{
    // 500000.2 is held as 500000.1875: the digit reads 1, not 2.
    EXPECT_EQ(500000.2f, 500000.1875f);
    EXPECT_EQ(Text::decode(500000.2f).mode, Text::slideRight);
    EXPECT_EQ(Text::decode(500000.25f).mode, Text::slideLeft);
}

TEST(TextDecode, SlotsOutsideTheElevenLabelsAreInvalid)
{
    EXPECT_TRUE(Text::decode(1002010.0f).valid());
    EXPECT_FALSE(Text::decode(1002011.0f).valid());
    EXPECT_FALSE(Text::decode(1002099.0f).valid());
    // Negative values give negative remainders.
    Text::Label negative = Text::decode(-1002003.5f);
    EXPECT_EQ(negative.slot, -3);
    EXPECT_FALSE(negative.valid());
    EXPECT_FALSE(Text::decode(3e9f).valid());
    EXPECT_FALSE(Text::decode(std::nanf("")).valid());
}

class TextTest : public EffectTest {
protected:
    void loadLabels()
    {
        const char* files[] = {"tx_grp01.png", "tx_grp02.png", "tx_grp03.png", "tx_greets.png",
                               "tx_grp04.png", "tx_grp05.png", "tx_grp06.png", "tx_grp07.png",
                               "tx_grp08.png", "tx_grp09.png", "tx_grp10.png"};
        for (int i = 0; i < Text::labelCount; ++i)
            addSolidImage({files[i], labelColour(i)});
        loadImages();
    }
    Rgb labelColour(int slot) { return {static_cast<uint8_t>(20 * slot + 40), 200, 0}; }
    // The window position of a label placed at (x, y, -10) under the camera.
    std::array<int, 2> labelAt(float x, float y) { return project(x, y, -10); }
    bool drawnAt(int elapsedMs, float progress, float value, std::array<int, 2> at)
    {
        resetFrame();
        text->draw(elapsedMs, progress, value);
        return isLit(readPixel(at));
    }
    std::unique_ptr<Text> text = std::make_unique<Text>("text");
};

TEST_F(TextTest, DisplayListIsRecordedAtConstructionAndDeletedWithTheEffect)
{
    GLuint list = text->labelList;
    EXPECT_NE(list, 0u);
    EXPECT_TRUE(glIsList(list));
    // Recording left blending off with the plain blend function.
    EXPECT_FALSE(isEnabled(GL_BLEND));
    EXPECT_EQ(intState(GL_BLEND_SRC), GL_ONE);
    text.reset();
    EXPECT_FALSE(glIsList(list));
}

TEST_F(TextTest, ConstructionReseedsTheGenerator)
{
    int next = std::rand();
    std::srand(2134);
    EXPECT_EQ(next, std::rand());
}

TEST_F(TextTest, SteadyLabelStandsWhereTheParameterSays)
{
    loadLabels();
    // A 1.2 s entry: steady from 500 to 700 ms.
    EXPECT_TRUE(drawnAt(600, 0.5f, 1002003.0f, labelAt(50, -30)));
    expectPixelNear(readPixel(labelAt(50, -30)), labelColour(3));
    EXPECT_FALSE(isLit(readPixel(labelAt(-50, 30))));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(drawnAt(600, 0.5f, 403007.0f, labelAt(-10, -20)));
    expectPixelNear(readPixel(labelAt(-10, -20)), labelColour(7));
}

TEST_F(TextTest, FlickerFlashesAtMostEveryHundredMilliseconds)
{
    loadLabels();
    // An entry of 800 ms has no steady part: every frame may only flash.
    std::srand(5);
    std::vector<int> flashes;
    for (int t = 0; t <= 800; t += 10)
        if (drawnAt(t, static_cast<float>(t) / 800, 1002003.0f, labelAt(50, -30)))
            flashes.push_back(t);
    ASSERT_GE(flashes.size(), 2u);
    for (size_t i = 1; i < flashes.size(); ++i)
        EXPECT_GT(flashes[i] - flashes[i - 1], 100);
    EXPECT_EQ(text->lastFlash, flashes.back());

    // A new entry (time running back) starts flashing afresh.
    bool flashed = false;
    for (int t = 0; t <= 300 && !flashed; t += 10)
        flashed = drawnAt(t, static_cast<float>(t) / 800, 1002003.0f, labelAt(50, -30));
    EXPECT_TRUE(flashed);
}

TEST_F(TextTest, SlidesCrossTheScreen)
{
    loadLabels();
    float quarter = static_cast<float>(140 * std::cos(0.25 * 3.141592653589793));
    // Mode 1 runs left to right, mode 2 right to left; y from the parameter.
    EXPECT_TRUE(drawnAt(250, 0.25f, 1005501.15f, labelAt(-quarter, 5)));
    EXPECT_FALSE(isLit(readPixel(labelAt(quarter, 5))));
    EXPECT_TRUE(drawnAt(500, 0.5f, 1005501.15f, labelAt(0, 5)));
    EXPECT_TRUE(drawnAt(250, 0.25f, 1005501.25f, labelAt(quarter, 5)));
    EXPECT_FALSE(isLit(readPixel(labelAt(-quarter, 5))));
}

TEST_F(TextTest, SpinInStartsUnflippedAtProgressZero)
{
    loadLabels();
    // A wide view, so that the starting place (0, 100, 0) is on screen.
    useWideView();
    auto vertices = feedbackVertices([&] { text->draw(0, 0, 503503.3f); });
    ASSERT_EQ(vertices.size(), 6u);
    auto low = project(-25, 87.5, 0), high = project(25, 112.5, 0);
    for (auto& v : vertices) {
        ASSERT_TRUE(std::isfinite(v[0]) && std::isfinite(v[1]));
        EXPECT_TRUE(std::abs(v[0] - low[0]) <= 1 || std::abs(v[0] - high[0]) <= 1) << v[0];
        EXPECT_TRUE(std::abs(v[1] - low[1]) <= 1 || std::abs(v[1] - high[1]) <= 1) << v[1];
    }
    // Half way in the label is half a turn round, at (0, -50, 0).
    resetFrame();
    text->draw(1000, 0.5f, 503503.3f);
    EXPECT_TRUE(isLit(readPixel(project(0, -50, 0))));
}

TEST_F(TextTest, LabelsThatDoNotExistDrawNothing)
{
    loadLabels();
    for (float value : {1002011.0f, 1002099.0f, -1002003.0f, 1002003.5f, 3e9f}) {
        resetFrame();
        text->draw(600, 0.5f, value);
        EXPECT_EQ(countLitInWindow(), 0) << value;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << value;
        EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    }
}

TEST_F(TextTest, StateAfterDraw)
{
    loadLabels();
    MatrixState before;
    text->draw(600, 0.5f, 1002003.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_FALSE(isEnabled(GL_TEXTURE_2D));
    expectBlendOffAndReset();
    EXPECT_EQ(currentColour(), (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_EQ(MatrixState{}, before);
}

} // namespace
