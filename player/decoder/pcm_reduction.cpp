#include "decoder/pcm_reduction.h"

#include <cstddef>

namespace melvox {

std::vector<int8_t> reduce_pcm(const int16_t* samples, uint32_t samples_per_channel, uint32_t channels)
{
    std::vector<int8_t> block(std::size_t{channels} * feedback_samples_per_channel, 0);
    uint32_t taken = samples_per_channel < feedback_samples_per_channel ? samples_per_channel
                                                                        : feedback_samples_per_channel;
    for (uint32_t c = 0; c < channels; ++c)
        for (uint32_t i = 0; i < taken; ++i)
            block[std::size_t{c} * feedback_samples_per_channel + i] = static_cast<int8_t>(
                samples[std::size_t{i} * channels + c] / 256);
    return block;
}

} // namespace melvox
