#include "mpeg_timeline.h"

#include <algorithm>

namespace melvox::mpeg {

void stream_timeline::clear()
{
    index_.clear();
    info_frame_ = false;
    frames_ = 0;
    has_gap_ = false;
    encoder_delay_ = encoder_padding_ = 0;
    samples_per_frame_ = rate_ = 0;
}

void stream_timeline::set_first_frame(const frame_header& header, const vbr_header* vbr)
{
    samples_per_frame_ = samples_per_frame(header);
    rate_ = sampling_rate(header);
    info_frame_ = vbr != nullptr;
    frames_ = vbr && vbr->has_frames ? vbr->frames : 0;
    // A gap that leaves no audio is not believed.
    has_gap_ = vbr && vbr->has_gap && frames_ > 0 &&
               int64_t{frames_} * samples_per_frame_ > int64_t{vbr->encoder_delay} + vbr->encoder_padding;
    encoder_delay_ = has_gap_ ? vbr->encoder_delay : 0;
    encoder_padding_ = has_gap_ ? vbr->encoder_padding : 0;
}

double stream_timeline::duration_ms() const
{
    if (rate_ == 0)
        return 0.0;
    if (gapless_ && has_gap_)
        return (double(frames_) * samples_per_frame_ - encoder_delay_ - encoder_padding_) * 1000.0 / rate_;
    // The VBR header's count leaves the info frame out.
    if (frames_ > 0)
        return frames_ * frame_ms();
    if (index_.empty())
        return 0.0;
    return index_.duration_ms() - (gapless_ && info_frame_ ? index_.start_ms(1) : 0.0);
}

double stream_timeline::lead_ms() const
{
    if (!gapless_ || rate_ == 0)
        return 0.0;
    double ms = info_frame_ ? index_.start_ms(1) : 0.0;
    if (has_gap_)
        ms += (encoder_delay_ + decoder_delay) * 1000.0 / rate_;
    return ms;
}

size_t stream_timeline::frame_at_ratio(double ratio) const
{
    size_t frame = index_.frame_at_ms(ratio * duration_ms() + lead_ms());
    return plays(static_cast<long>(frame)) ? frame : std::min<size_t>(1, index_.size() - 1);
}

double stream_timeline::ratio_of_frame(size_t frame) const
{
    double duration = duration_ms();
    if (duration <= 0.0)
        return 0.0;
    return std::clamp((index_.start_ms(frame) - lead_ms()) / duration, 0.0, 1.0);
}

stream_timeline::kept stream_timeline::samples_kept(long number, int samples, int shift) const
{
    if (!gapless_ || !has_gap_ || number < 0)
        return {0, samples};
    // In decoded samples from the first audio frame: the stream's own lie
    // behind the encoder's delay and the decoder's, and end before the
    // encoder's padding.
    int64_t position = (number - (info_frame_ ? 1 : 0)) * int64_t{samples_per_frame_} >> shift;
    int64_t begin = int64_t{encoder_delay_ + decoder_delay} >> shift;
    int64_t end = (encoder_delay_ + decoder_delay + int64_t{frames_} * samples_per_frame_ - encoder_delay_ -
                   encoder_padding_) >>
                  shift;
    int64_t first = std::clamp(begin - position, int64_t{0}, int64_t{samples});
    int64_t last = std::clamp(end - position, int64_t{0}, int64_t{samples});
    return {static_cast<int>(first), static_cast<int>(std::max(last - first, int64_t{0}))};
}

} // namespace melvox::mpeg
