#include "limiter.h"

#include <algorithm>
#include <cmath>

void limit(StereoBuffer& buffer, const LimiterSettings& settings)
{
    size_t n = buffer.frames();
    if (n == 0)
        return;
    float ceiling = settings.ceiling;
    // The gain each frame needs on its own.
    std::vector<float> gain(n);
    for (size_t i = 0; i < n; ++i) {
        float peak = std::max(std::fabs(buffer.left[i]), std::fabs(buffer.right[i]));
        gain[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Backwards: let the gain fall no faster than a straight ramp lasting
    // the attack time, so that it is already down when the peak arrives.
    float attackStep = static_cast<float>(1.0 / std::max(1.0, settings.attackSeconds * kSampleRate));
    for (size_t i = n - 1; i-- > 0;)
        gain[i] = std::min(gain[i], gain[i + 1] + attackStep);
    // Forwards: recover exponentially, never above what a frame needs.
    float recovery = static_cast<float>(1.0 - std::exp(-1.0 / (settings.releaseSeconds * kSampleRate)));
    float current = gain[0];
    for (size_t i = 0; i < n; ++i) {
        current = std::min(gain[i], current + (1.0f - current) * recovery);
        buffer.left[i] = std::clamp(buffer.left[i] * current, -ceiling, ceiling);
        buffer.right[i] = std::clamp(buffer.right[i] * current, -ceiling, ceiling);
    }
}

std::vector<int16_t> toPcm16(const StereoBuffer& buffer)
{
    std::vector<int16_t> pcm(2 * buffer.frames());
    auto convert = [](float x) {
        double scaled = std::nearbyint(static_cast<double>(x) * 32767.0);
        return static_cast<int16_t>(std::clamp(scaled, -32768.0, 32767.0));
    };
    for (size_t i = 0; i < buffer.frames(); ++i) {
        pcm[2 * i] = convert(buffer.left[i]);
        pcm[2 * i + 1] = convert(buffer.right[i]);
    }
    return pcm;
}
