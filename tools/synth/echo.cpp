#include "echo.h"

#include "filter.h"

#include <algorithm>

StereoBuffer pingPongEcho(const StereoBuffer& input, const EchoSettings& settings)
{
    StereoBuffer wet(input.frames());
    size_t delay = std::max<size_t>(settings.delay, 1);
    float feedback = std::clamp(settings.feedback, 0.0f, 0.95f);
    std::vector<float> leftLine(delay), rightLine(delay);
    Smoother leftDamping(settings.dampingHz), rightDamping(settings.dampingHz);
    size_t at = 0;
    for (size_t i = 0; i < input.frames(); ++i) {
        float fromLeft = leftLine[at];
        float fromRight = rightLine[at];
        wet.left[i] = fromLeft;
        wet.right[i] = fromRight;
        // The input enters the left line; each line feeds the other.
        leftLine[at] = 0.5f * (input.left[i] + input.right[i]) + feedback * rightDamping.process(fromRight);
        rightLine[at] = feedback * leftDamping.process(fromLeft);
        at = at + 1 == delay ? 0 : at + 1;
    }
    return wet;
}
