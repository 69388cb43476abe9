#include "all_effects.h"
#include "effect_fixture.h"
#include "text.h"
#include "vlakje.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

class AllEffectsTest : public EffectTest {
protected:
    void TearDown() override
    {
        deleteAllEffects();
        EffectTest::TearDown();
    }
};

TEST_F(AllEffectsTest, EffectsRegisterInRegistryOrder)
{
    createAllEffects();
    const std::vector<std::string> order = {
        "bobel",  "bubble",  "cone", "decompose", "disks",  "draaiding", "jordan",   "morph",  "nookie", "papier",
        "planes", "puntjes", "quad", "rays",      "sphere", "text",      "vierkant", "vlakje", "weights"};
    std::vector<std::string> registered(effectRegistry.names, effectRegistry.names + effectRegistry.count);
    // Every registered name is one of the nineteen, in their order.
    auto next = order.begin();
    for (const std::string& name : registered) {
        next = std::find(next, order.end(), name);
        ASSERT_NE(next, order.end()) << name << " out of order or unknown";
    }
    for (const char* name :
         {"bobel", "bubble", "planes", "puntjes", "quad", "rays", "sphere", "text", "vierkant", "vlakje", "weights"})
        EXPECT_NE(std::find(registered.begin(), registered.end(), name), registered.end()) << name;
    EXPECT_EQ(findEffect("text"), static_cast<Effect*>(text));
    EXPECT_EQ(findEffect("textx"), nullptr);
}

TEST_F(AllEffectsTest, ShimmerIsTheSameOnEveryRun)
{
    // Bobel seeds from its address, but Vierkant reseeds just before Vlakje
    // draws its phases.
    createAllEffects();
    std::vector<float> first(vlakje->wobblePhase, vlakje->wobblePhase + Vlakje::vertexCount);
    deleteAllEffects();
    std::srand(12345);
    createAllEffects();
    EXPECT_TRUE(std::equal(first.begin(), first.end(), vlakje->wobblePhase));
}

TEST_F(AllEffectsTest, ZeroLengthEntryDrawsSafely)
{
    // Such an entry is drawn once, at elapsed time 0 with progress 0 / 0.
    createAllEffects();
    for (int i = 0; i < effectRegistry.count; ++i) {
        SCOPED_TRACE(effectRegistry.names[i]);
        MatrixState before;
        effectRegistry.effects[i]->draw(0, std::nanf(""), 1.0f);
        EXPECT_EQ(MatrixState{}, before);
        for (float component : currentColour())
            EXPECT_FALSE(std::isnan(component));
    }
    clearGlErrors(); // drawn without images
}

} // namespace
