// The clock of an MPEG audio stream: how long it plays, which frame plays
// at a position, and, for gapless output, which decoded samples belong to
// the audio that the encoder was given. Gapless output leaves out the VBR
// info frame, the LAME tag's encoder delay and padding, and the decoder's
// own delay.
#pragma once

#include "mpeg_frame_index.h"
#include "mpeg_header.h"
#include "mpeg_stream_headers.h"

#include <cstddef>
#include <cstdint>

namespace melvox::mpeg {

class stream_timeline {
public:
    // Samples by which the synthesis and the hybrid filter delay the output.
    static constexpr int decoder_delay = 529;

    void clear();
    void set_gapless(bool on) { gapless_ = on; }
    bool gapless() const { return gapless_; }

    frame_index& index() { return index_; }
    const frame_index& index() const { return index_; }

    // The stream's first frame, and the VBR header in it if any.
    void set_first_frame(const frame_header& header, const vbr_header* vbr);

    // Milliseconds of the whole stream as it is output (0 when unknown);
    // positions are ratios of it.
    double duration_ms() const;
    // With a frame index: the frame that plays at a position ratio, and the
    // position ratio at which a frame begins.
    size_t frame_at_ratio(double ratio) const;
    double ratio_of_frame(size_t frame) const;

    // Whether frame `number` (counted from the stream's first frame, -1
    // when unknown) is output at all: the info frame is not, when gapless.
    bool plays(long number) const { return !(gapless_ && info_frame_ && number == 0); }
    // Of frame `number` with `samples` output samples at a downsampling
    // shift, the samples that belong to the stream: the first one and how
    // many. All of them unless gapless output knows the encoder's gap.
    struct kept {
        int first;
        int count;
    };
    kept samples_kept(long number, int samples, int shift) const;

private:
    // Milliseconds of the index's time that precede the output's time 0.
    double lead_ms() const;
    double frame_ms() const { return rate_ ? samples_per_frame_ * 1000.0 / rate_ : 0.0; }

    frame_index index_;
    bool gapless_ = false;
    bool info_frame_ = false;
    uint32_t frames_ = 0; // audio frames that the VBR header counts, 0 when it does not
    bool has_gap_ = false;
    int encoder_delay_ = 0;
    int encoder_padding_ = 0;
    int samples_per_frame_ = 0;
    int rate_ = 0;
};

} // namespace melvox::mpeg
