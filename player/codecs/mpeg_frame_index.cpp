#include "mpeg_frame_index.h"

#include "mpeg_errors.h"
#include "mpeg_frame_reader.h"

#include <algorithm>
#include <limits>
#include <memory>

namespace melvox::mpeg {

void frame_index::clear()
{
    offsets_.clear();
    runs_.clear();
    end_ = 0;
    duration_ms_ = 0.0;
}

void frame_index::build(stream_input& input, uint64_t start)
{
    clear();
    auto reader = std::make_unique<frame_reader>();
    int result;
    while ((result = reader->next_frame(input)) == 0) {
        uint64_t offset = start + reader->frame_offset();
        if (offsets_.size() == max_frames || offset > std::numeric_limits<uint32_t>::max()) {
            clear();
            return;
        }
        const frame_header& h = reader->header();
        double frame_ms = samples_per_frame(h) * 1000.0 / sampling_rate(h);
        int layer = layer_number(h);
        bool lsf = is_lower_sampling_frequency(h);
        if (runs_.empty() || runs_.back().frame_ms != frame_ms || runs_.back().layer != layer ||
            runs_.back().lsf != lsf)
            runs_.push_back({offsets_.size(), duration_ms_, frame_ms, layer, lsf});
        offsets_.push_back(static_cast<uint32_t>(offset));
        end_ = offset + static_cast<uint64_t>(reader->length());
        duration_ms_ += frame_ms;
    }
    if (result != error_end_of_input)
        clear();
}

const frame_index::run& frame_index::run_of(size_t frame) const
{
    auto after = std::upper_bound(runs_.begin(), runs_.end(), frame,
                                  [](size_t f, const run& r) { return f < r.first; });
    return *(after - 1);
}

double frame_index::start_ms(size_t frame) const
{
    if (frame >= offsets_.size())
        return duration_ms_;
    const run& r = run_of(frame);
    return r.start_ms + static_cast<double>(frame - r.first) * r.frame_ms;
}

size_t frame_index::frame_at_ms(double ms) const
{
    if (offsets_.empty() || !(ms > 0.0))
        return 0;
    auto after = std::upper_bound(runs_.begin(), runs_.end(), ms,
                                  [](double t, const run& r) { return t < r.start_ms; });
    const run& r = *(after - 1);
    // A hair of tolerance: a time that is a frame's start in the caller's
    // arithmetic lands on that frame, not the one before.
    auto within = static_cast<size_t>((ms - r.start_ms) / r.frame_ms + 1e-6);
    return std::min(r.first + within, offsets_.size() - 1);
}

size_t frame_index::frame_at_offset(uint64_t offset) const
{
    auto after = std::upper_bound(offsets_.begin(), offsets_.end(), offset);
    return after == offsets_.begin() ? 0 : static_cast<size_t>(after - offsets_.begin()) - 1;
}

size_t frame_index::preroll(size_t frame) const
{
    if (frame == 0 || frame >= offsets_.size())
        return 0;
    const run& r = run_of(frame - 1);
    // The synthesis remembers 16 rows: one frame of Layer II (36 rows), two
    // of Layer I (12 each).
    if (r.layer == 1)
        return std::min<size_t>(frame, 2);
    if (r.layer == 2)
        return 1;
    // Layer III: the frame before, whose overlap and synthesis memory this
    // frame continues, and before it enough frames to hold the main data
    // that it may reach back for. Main data is counted short (the longest
    // side information taken off), so the count errs towards more frames.
    const uint64_t reach = r.lsf ? 255 : 511;
    const uint64_t side = r.lsf ? 19 : 36;
    size_t first = frame - 1;
    uint64_t main_bytes = 0;
    while (first > 0 && main_bytes < reach) {
        --first;
        uint64_t length = offsets_[first + 1] - offsets_[first];
        main_bytes += length > side ? length - side : 0;
    }
    return frame - first;
}

} // namespace melvox::mpeg
