// The tags and headers at the start of an MPEG audio stream that are not
// audio: a leading ID3v2 tag, and the Xing / Info / "Lame" and VBRI headers
// that a variable-bitrate encoder writes into its first frame.
#pragma once

#include "mpeg_header.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace melvox::mpeg {

// The size of an ID3v2 tag that starts the bytes (header and footer
// included), or 0 when they do not start with one.
uint64_t id3v2_tag_size(const uint8_t* bytes, size_t size);

struct vbr_header {
    bool has_frames = false;
    uint32_t frames = 0;                                // audio frames in the stream
    std::optional<std::array<uint8_t, 100>> seek_table; // Xing table of contents
    // The LAME tag's encoder delay and padding: samples that the encoder put
    // before and after the audio it was given.
    bool has_gap = false;
    int encoder_delay = 0;
    int encoder_padding = 0;
};

// Looks for a Xing (or Info / "Lame") or VBRI header in the first frame,
// given from its first header byte; `size` bytes are available. A LAME tag
// behind a Xing header gives the encoder delay and padding.
std::optional<vbr_header> find_vbr_header(const frame_header& header, const uint8_t* frame, size_t size);

} // namespace melvox::mpeg
