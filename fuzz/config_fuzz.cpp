// Feeds arbitrary bytes to the config.ini reader.
#include "config.h"
#include "effect.h"
#include "images.h"
#include "timeline.h"

#include <cstdint>
#include <cstdio>

namespace {
class Silent : public Effect {
public:
    explicit Silent(const char* name) { registerAs(name); }
    void draw(int, float, float) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Silent bobel("bobel");
    static Silent bubble("bubble");
    resetTimeline();
    resetImages();
    resetConfig();
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file)
        return 0;
    std::FILE* out = std::freopen("/dev/null", "w", stdout);
    (void)out;
    parseConfig(file);
    std::fclose(file);
    // Whatever was read, the timeline can be stepped and drawn.
    for (uint32_t t = 0; t < 2000; t += 250) {
        advanceTimeline(t);
        drawTimeline(t);
    }
    return 0;
}
