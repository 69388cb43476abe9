// The PCM block of a feedback event: a frame cut to 256 samples per channel
// and reduced to signed bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace melvox {

constexpr uint16_t feedback_samples_per_channel = 256;

// The first 256 samples of each channel of an interleaved 16-bit frame, each
// divided by 256 (truncated toward zero): all of the first channel, then all
// of the next. A frame of fewer samples is completed with silence.
std::vector<int8_t> reduce_pcm(const int16_t* samples, uint32_t samples_per_channel, uint32_t channels);

} // namespace melvox
