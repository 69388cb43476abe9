// Where each frame of a stream begins and when it plays: read from the
// frame headers of a seekable stream once, it gives the exact duration and
// frame-exact positions of any stream, with or without a VBR header.
#pragma once

#include "mpeg_input.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace melvox::mpeg {

class frame_index {
public:
    // An index larger than this (tens of hours of audio) is not kept.
    static constexpr size_t max_frames = size_t{1} << 22;

    // Reads the frames of the input from its current position, which is byte
    // offset `start` of the stream, to the end, finding them as decoding
    // does. Leaves the index empty when the input fails or holds too many
    // frames. The input is left at its end.
    void build(stream_input& input, uint64_t start);
    void clear();

    bool empty() const { return offsets_.empty(); }
    size_t size() const { return offsets_.size(); }
    uint64_t offset(size_t frame) const { return offsets_[frame]; }
    // The byte offset just past the last frame: what follows (an ID3v1,
    // APE or Lyrics3 tag at the end) is no audio.
    uint64_t end_offset() const { return end_; }
    // Playing time before the frame begins, and of all frames.
    double start_ms(size_t frame) const;
    double duration_ms() const { return duration_ms_; }
    // The frame that plays at a time (the last one beyond the end), and the
    // last frame that begins at or before a byte offset (0 before the first).
    size_t frame_at_ms(double ms) const;
    size_t frame_at_offset(uint64_t offset) const;
    // How many frames before `frame` must be decoded (and their output
    // dropped) for it to decode exactly as in a decoding from the start: the
    // synthesis memory, the Layer III overlap and main-data reservoir.
    size_t preroll(size_t frame) const;

private:
    // A stretch of frames of one layer and duration.
    struct run {
        size_t first;
        double start_ms;
        double frame_ms;
        int layer;
        bool lsf;
    };
    const run& run_of(size_t frame) const;

    std::vector<uint32_t> offsets_;
    std::vector<run> runs_;
    uint64_t end_ = 0;
    double duration_ms_ = 0.0;
};

} // namespace melvox::mpeg
