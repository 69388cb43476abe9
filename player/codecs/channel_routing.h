// Which synthesis channels a layer decoder feeds for one frame.
#pragma once

#include "synthesis.h"

namespace melvox::mpeg {

struct channel_routing {
    // Output of channel 0 (also of a single-channel stream and of the mix),
    // and of channel 1; null where that channel is not output.
    synthesis_channel* left = nullptr;
    synthesis_channel* right = nullptr;
    // Both channels are decoded and their average goes to `left`.
    bool mix = false;
    // Downsampling: 0, 1 or 2 (only the lowest 32 >> shift subbands are kept).
    int shift = 0;

    synthesis_channel* output(int channel) const { return channel == 0 ? left : right; }
};

} // namespace melvox::mpeg
