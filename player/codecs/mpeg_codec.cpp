#include "mpeg_codec.h"

#include "mpeg_errors.h"
#include "mpeg_stream_headers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace melvox::mpeg {

namespace {

constexpr size_t head_size = frame_reader::frame_capacity; // the first frame: a VBR header and a LAME tag

// Shift of the output rate for a downsampling setting at a stream rate.
int downsampling_shift(int downsampling, int rate)
{
    if (downsampling == 1)
        return rate >= 32000 ? 1 : 0;
    if (downsampling == 2)
        return rate >= 32000 ? 2 : rate >= 16000 ? 1 : 0;
    return 0;
}

float gain_of(signed char b)
{
    return b >= 0 ? 1.0f + b / 32.0f : 1.0f / (1.0f - b / 32.0f);
}

signed char byte_of(float gain)
{
    double g = gain;
    double b = g >= 1.0 ? (g - 1.0) * 32.0 : (1.0 - 1.0 / g) * 32.0;
    // Truncated, after absorbing the rounding error of the gain itself.
    return static_cast<signed char>(std::clamp(std::trunc(b + (b >= 0 ? 1e-4 : -1e-4)), -128.0, 127.0));
}

} // namespace

mpeg_codec_instance::mpeg_codec_instance(stream_input& input) : input_(&input)
{
    reset();
}

mpeg_codec_instance* mpeg_codec_instance::create(stream_input& input)
{
    return new (std::nothrow) mpeg_codec_instance(input);
}

void mpeg_codec_instance::reset()
{
    // Unknown until a frame reports them, so that the first frame publishes all.
    reported_ = {-1, -1, -1, -1, -1};
    average_bitrate_ = 0;
    vbr_header_found_ = false;
    audio_found_ = false;
    stream_size_ = input_->size();
    audio_start_ = 0;
    timeline_.clear();
    planned_ = {};
    flush();
}

void mpeg_codec_instance::flush()
{
    synthesis_[0].clear();
    synthesis_[1].clear();
    layer3_.clear();
    reader_.flush();
    played_ms_ = 0.0;
    reposition_point_ = 0;
    skip_to_ = 0;
    preroll_left_ = 0;
    frame_held_ = false;
    lost_left_ = 0;
    previous_length_ = 0;
    // The reader begins afresh where the input is; frames are counted from
    // the start only where the frame index cannot tell them.
    reader_origin_ = input_->position();
    frames_read_ = reader_origin_ <= audio_start_ ? 0 : -1;
}

uint64_t mpeg_codec_instance::seek_margin() const
{
    // A ratio in single precision is off by up to 2^-24 of the input's size.
    return (audio_start_ + stream_size_) / (1u << 23) + 2;
}

bool mpeg_codec_instance::lands_on_planned_seek(uint64_t position) const
{
    return planned_.active && position <= planned_.start && planned_.start - position <= 2 * seek_margin() + 2;
}

void mpeg_codec_instance::reposition(uint64_t byte_position)
{
    flush();
    reposition_point_ = byte_position;
    reader_origin_ = byte_position;
    frames_read_ = byte_position <= audio_start_ ? 0 : -1;
    if (byte_position > audio_start_)
        audio_found_ = true;
    if (lands_on_planned_seek(byte_position)) {
        skip_to_ = planned_.start;
        reader_origin_ = planned_.start;
        preroll_left_ = planned_.preroll;
    } else {
        planned_.active = false;
    }
}

int mpeg_codec_instance::prepare(stream_info& info)
{
    stream_size_ = input_->size();
    seek_table_.reset();
    audio_start_ = 0;
    timeline_.clear();

    // Read the head: the first frame, or the whole stream when it is shorter.
    uint8_t head[head_size];
    auto read_head = [&](uint64_t from) -> long {
        uint64_t total = input_->size();
        size_t want = total ? static_cast<size_t>(std::min<uint64_t>(head_size, total - std::min(total, from)))
                            : head_size;
        if (int result = input_->read(head, want); result < 0)
            return result;
        return static_cast<long>(want);
    };
    if (int result = input_->seek(0); result < 0)
        return result;
    long got = read_head(0);
    if (got < 0)
        return static_cast<int>(got);

    if (uint64_t tag = id3v2_tag_size(head, static_cast<size_t>(got))) {
        if (stream_size_ && tag > stream_size_) {
            audio_start_ = stream_size_;
            stream_size_ = 0;
        } else {
            audio_start_ = tag;
            stream_size_ = stream_size_ ? stream_size_ - tag : 0;
        }
        if (int result = input_->seek(audio_start_); result < 0)
            return result;
        got = read_head(audio_start_);
        if (got < 0)
            return static_cast<int>(got);
    }
    if (int result = input_->seek(audio_start_); result < 0)
        return result;

    if (got < 4 || head[0] != 0xFF || head[1] < 0xE0)
        return error_invalid_frame;
    frame_header header = parse_header(uint32_t{head[0]} << 24 | uint32_t{head[1]} << 16 | uint32_t{head[2]} << 8 |
                                       head[3]);
    if (!header_valid(header))
        return error_invalid_frame;

    stream_properties p = properties_of(header);
    reported_ = p;
    publish(info, p, true, true, true);
    info.sample_rate = p.sampling_frequency;
    info.bitrate = p.bitrate;
    info.duration_ms = p.bitrate ? static_cast<uint32_t>(stream_size_ * 8 / static_cast<uint64_t>(p.bitrate)) : 0;

    std::optional<vbr_header> vbr = find_vbr_header(header, head, static_cast<size_t>(got));
    if (vbr) {
        // A frame count of 0 says nothing about the stream: the estimates stay.
        if (vbr->has_frames && vbr->frames > 0) {
            uint64_t duration = uint64_t{vbr->frames} * static_cast<uint64_t>(samples_per_frame(header)) * 1000 /
                                static_cast<uint64_t>(p.sampling_frequency);
            info.bitrate = duration ? static_cast<int>(stream_size_ * 8 / duration) : 0;
            vbr_header_found_ = true;
        }
        seek_table_ = vbr->seek_table;
    }
    timeline_.set_first_frame(header, vbr ? &*vbr : nullptr);

    // The frame index: every frame's place and time, read from the headers.
    if (stream_size_ > 0) {
        timeline_.index().build(*input_, audio_start_);
        if (int result = input_->seek(audio_start_); result < 0)
            return result;
    }
    reader_origin_ = audio_start_;
    frames_read_ = 0;
    if (double ms = timeline_.duration_ms(); ms > 0.0) {
        auto duration = static_cast<uint64_t>(ms);
        info.duration_ms = static_cast<uint32_t>(std::min<uint64_t>(duration, UINT32_MAX));
        if (info.bitrate == 0 && duration > 0) // free format
            info.bitrate = static_cast<int>(stream_size_ * 8 / duration);
        // The duration in whole seconds that the player reports is too
        // coarse to seek by: the exact one goes with the stream's properties.
        if (info.properties)
            info.properties->set_integer(duration_property, static_cast<int>(std::min(ms, 2147483647.0)));
    }

    info.channels = channel_count(header);
    info.mime_type = mime_type;
    info.flags |= stream_info::type_changed | stream_info::format_changed | stream_info::properties_changed;
    return 0;
}

void mpeg_codec_instance::publish(stream_info& info, const stream_properties& p, bool level, bool layer, bool mode)
{
    if (!info.properties)
        return;
    if (level)
        info.properties->set_integer("mpeg/level", p.level);
    if (layer)
        info.properties->set_integer("mpeg/layer", p.layer);
    if (mode)
        info.properties->set_integer("mpeg/mode", p.mode);
}

int mpeg_codec_instance::decode(pcm_frame& pcm, stream_info& info)
{
    if (!pcm.buffer)
        return error_invalid_parameters;
    if (int result = skip_to_planned_seek(); result < 0)
        return result;
    for (;;) {
        int result = decode_frame(pcm, info);
        // The frames before a planned seek's frame only fill the decoder's memory.
        bool frame_read = result == 0 || result == error_invalid_frame || result == frame_not_played;
        if (preroll_left_ > 0 && frame_read) {
            --preroll_left_;
            continue;
        }
        // A frame that gapless output cuts away whole gives nothing.
        if (result == frame_not_played || (result == 0 && pcm.samples == 0))
            continue;
        planned_.active = false;
        return result;
    }
}

long mpeg_codec_instance::frame_number() const
{
    const frame_index& index = timeline_.index();
    if (index.empty())
        return frames_read_;
    uint64_t offset = reader_origin_ + reader_.frame_offset();
    size_t frame = index.frame_at_offset(offset);
    return index.offset(frame) == offset ? static_cast<long>(frame) : -1;
}

void mpeg_codec_instance::keep_samples(pcm_frame& pcm, long number, int shift) const
{
    stream_timeline::kept k = timeline_.samples_kept(number, pcm.samples, shift);
    if (k.first > 0 && k.count > 0)
        std::memmove(pcm.buffer, pcm.buffer + k.first * pcm.channels,
                     static_cast<size_t>(k.count * pcm.channels) * sizeof(int16_t));
    pcm.samples = k.count;
}

int mpeg_codec_instance::skip_to_planned_seek()
{
    uint64_t position = input_->position();
    while (position < skip_to_) {
        uint8_t passed[256];
        size_t size = static_cast<size_t>(std::min<uint64_t>(sizeof passed, skip_to_ - position));
        if (int result = input_->read(passed, size); result < 0)
            return result;
        position += size;
    }
    skip_to_ = 0;
    return 0;
}

int mpeg_codec_instance::frames_lost() const
{
    // Bytes that no frame took after a frame, unless they were a tag, were
    // frames that could not be found (a damaged header, a length that
    // lied): as many as fit between the two frames, by the length of the
    // frames around them.
    uint64_t skipped = reader_.bytes_skipped();
    if (skipped == 0 || reader_.skipped_a_tag() || previous_length_ == 0)
        return 0;
    double typical = (previous_length_ + reader_.length()) / 2.0;
    double frames = std::round((static_cast<double>(previous_length_ + skipped)) / typical) - 1.0;
    return static_cast<int>(std::clamp(frames, 0.0, double(max_frames_lost)));
}

int mpeg_codec_instance::decode_frame(pcm_frame& pcm, stream_info& info)
{
    if (!frame_held_) {
        reader_.bound_search(audio_found_ ? 0 : max_bytes_before_audio);
        if (int result = reader_.next_frame(*input_); result < 0)
            return result == error_end_of_input && !audio_found_ ? error_no_audio_found : result;
        audio_found_ = true;
        frame_held_ = true;
        lost_left_ = frames_lost();
        previous_length_ = reader_.length();
        held_number_ = frame_number();
        if (frames_read_ >= 0)
            ++frames_read_;
    }
    const frame_header& header = reader_.header();
    int rate = sampling_rate(header);
    int shift = downsampling_shift(downsampling_, rate);

    channel_routing routing;
    routing.shift = shift;
    int channels = 1;
    if (channel_count(header) == 1) {
        synthesis_[0].set_output(pcm.buffer, 1);
        routing.left = &synthesis_[0];
    } else {
        switch (channel_mode_) {
        case 1:
            synthesis_[0].set_output(pcm.buffer, 1);
            routing.left = &synthesis_[0];
            break;
        case 2:
            synthesis_[1].set_output(pcm.buffer, 1);
            routing.right = &synthesis_[1];
            break;
        case 3:
            synthesis_[0].set_output(pcm.buffer, 1);
            routing.left = &synthesis_[0];
            routing.mix = true;
            break;
        default:
            synthesis_[0].set_output(pcm.buffer, 2);
            synthesis_[1].set_output(pcm.buffer, 2, 1);
            routing.left = &synthesis_[0];
            routing.right = &synthesis_[1];
            channels = 2;
        }
    }
    synthesis_[0].set_shift(shift);
    synthesis_[1].set_shift(shift);
    pcm.samples = samples_per_frame(header) >> shift;
    pcm.channels = channels;
    pcm.rate = rate >> shift;

    // The frames that a damaged stretch took come first, as silence.
    if (lost_left_ > 0) {
        --lost_left_;
        std::memset(pcm.buffer, 0, static_cast<size_t>(pcm.samples * channels) * sizeof(int16_t));
        return 0;
    }
    frame_held_ = false;
    long number = held_number_;
    if (number == 0) {
        // The stream's first frame: an info frame tells the encoder's gap,
        // also to a stream that was not prepared.
        std::optional<vbr_header> vbr = find_vbr_header(header, reader_.frame_bytes(),
                                                        static_cast<size_t>(reader_.length()));
        timeline_.set_first_frame(header, vbr ? &*vbr : nullptr);
    }
    if (!timeline_.plays(number))
        return frame_not_played;

    int result;
    switch (layer_number(header)) {
    case 1: result = layer12_.decode_layer1(reader_, routing); break;
    case 2: result = layer12_.decode_layer2(reader_, routing); break;
    default: result = layer3_.decode(reader_, routing);
    }
    if (result == error_invalid_frame) {
        // A frame that cannot be decoded keeps its time as silence.
        std::memset(pcm.buffer, 0, static_cast<size_t>(pcm.samples * channels) * sizeof(int16_t));
        layer3_.clear();
    } else if (result < 0) {
        return result;
    }
    keep_samples(pcm, number, shift);
    if (!info.mime_type || std::strcmp(info.mime_type, mime_type) != 0) {
        info.mime_type = mime_type;
        info.flags |= stream_info::type_changed;
    }
    played_ms_ += samples_per_frame(header) * 1000.0 / rate;
    if (!vbr_header_found_)
        report_frame(header, info);
    return 0;
}

void mpeg_codec_instance::report_frame(const frame_header& header, stream_info& info)
{
    stream_properties p = properties_of(header);
    p.bitrate = reader_.bitrate_kbps(); // free format: the measured one
    bool level = p.level != reported_.level;
    bool layer = p.layer != reported_.layer;
    bool mode = p.mode != reported_.mode;
    if (level || layer || mode) {
        bool was_single = reported_.mode == mode_single_channel;
        bool is_single = p.mode == mode_single_channel;
        reported_.level = p.level;
        reported_.layer = p.layer;
        if (mode) {
            info.channels = is_single ? 1 : 2;
            if (was_single != is_single || reported_.mode < 0)
                info.flags |= stream_info::format_changed;
            reported_.mode = p.mode;
        }
        publish(info, p, level, layer, mode);
        info.flags |= stream_info::properties_changed;
    }
    if (p.sampling_frequency != reported_.sampling_frequency) {
        reported_.sampling_frequency = p.sampling_frequency;
        info.sample_rate = p.sampling_frequency;
        info.flags |= stream_info::format_changed;
    }
    if (p.bitrate != reported_.bitrate) {
        reported_.bitrate = p.bitrate;
        info.bitrate = p.bitrate;
        info.flags |= stream_info::format_changed;
    }

    // A running average of the bitrate, reported when it drifts by more than 1/32.
    int reported = info.bitrate;
    if (reported == 0) {
        info.bitrate = p.bitrate;
        average_bitrate_ = static_cast<uint32_t>(p.bitrate) << 10;
    } else {
        if (average_bitrate_ == 0)
            average_bitrate_ = static_cast<uint32_t>(reported) << 10;
        average_bitrate_ = (static_cast<uint32_t>(p.bitrate) * 1024 + average_bitrate_ * 31) >> 5;
        int rounded = static_cast<int>((average_bitrate_ + 512) >> 10);
        if (std::abs(rounded - reported) > reported / 32) {
            info.bitrate = rounded;
            info.flags |= stream_info::format_changed;
        }
    }
    if (info.bitrate && (info.flags & stream_info::format_changed) && stream_size_ && timeline_.index().empty())
        estimate_duration(info);
}

void mpeg_codec_instance::estimate_duration(stream_info& info) const
{
    // Playing time so far, plus the bytes ahead and the bytes before the
    // point where decoding resumed, each at a rate in kbit/s (bytes * 8 /
    // kbit/s = ms).
    uint64_t position = input_->position();
    uint64_t end = audio_start_ + stream_size_;
    double ms = played_ms_;
    if (position < end)
        ms += static_cast<double>(end - position) * 8.0 / info.bitrate;
    if (reposition_point_ > audio_start_) {
        double kbps = info.bitrate;
        if (position > reposition_point_ && played_ms_ > 0.0)
            kbps = static_cast<double>(position - reposition_point_) * 8.0 / played_ms_;
        ms += static_cast<double>(reposition_point_ - audio_start_) * 8.0 / kbps;
    }
    info.duration_ms = static_cast<uint32_t>(ms);
}

double mpeg_codec_instance::offset_to_ratio(uint64_t byte_offset) const
{
    if (stream_size_ == 0 || byte_offset < audio_start_)
        return 0.0;
    if (!timeline_.index().empty() && timeline_.duration_ms() > 0.0) {
        size_t frame = lands_on_planned_seek(byte_offset) ? planned_.frame
                                                          : timeline_.index().frame_at_offset(byte_offset);
        return timeline_.ratio_of_frame(frame);
    }
    return static_cast<double>(byte_offset - audio_start_) / static_cast<double>(stream_size_);
}

double mpeg_codec_instance::ratio_to_offset(double ratio)
{
    if (!(ratio >= 0.0))
        ratio = 0.0;
    ratio = std::min(ratio, 1.0);
    const frame_index& index = timeline_.index();
    if (!index.empty() && timeline_.duration_ms() > 0.0) {
        // The frame playing at the asked time, and the frames before it that
        // decoding has to go through; the offset is a little early, so that
        // the caller's rounding never passes the frame.
        planned_.active = true;
        planned_.frame = timeline_.frame_at_ratio(ratio);
        planned_.preroll = index.preroll(planned_.frame);
        planned_.start = index.offset(planned_.frame - planned_.preroll);
        uint64_t early = planned_.start - std::min(planned_.start, seek_margin());
        return static_cast<double>(early) / static_cast<double>(audio_start_ + stream_size_);
    }
    double r = ratio;
    if (seek_table_) {
        const auto& table = *seek_table_;
        double x = ratio * 100.0;
        int i = std::min(static_cast<int>(x), 99);
        double upper = i == 99 ? 256.0 : table[i + 1];
        r = (table[i] + (x - i) * (upper - table[i])) / 256.0;
    }
    if (audio_start_ && stream_size_)
        r = (r * static_cast<double>(stream_size_) + static_cast<double>(audio_start_)) /
            static_cast<double>(audio_start_ + stream_size_);
    return r;
}

int mpeg_codec_instance::set_parameters(const codec_parameters& parameters, int mask)
{
    if ((mask & parameter_channel_mode) && (parameters.channel_mode < 0 || parameters.channel_mode > 3))
        return error_invalid_parameters;
    if ((mask & parameter_downsampling) && (parameters.downsampling < 0 || parameters.downsampling > 2))
        return error_invalid_parameters;
    if (mask & parameter_channel_mode)
        channel_mode_ = parameters.channel_mode;
    if (mask & parameter_downsampling)
        downsampling_ = parameters.downsampling;
    if (mask & parameter_equalizer) {
        if (!parameters.equalizer) {
            equalizer_.reset();
            synthesis_[0].set_equalizer(nullptr);
            synthesis_[1].set_equalizer(nullptr);
        } else {
            equalizer_.emplace();
            for (int i = 0; i < 64; ++i)
                (*equalizer_)[i] = gain_of(parameters.equalizer[i]);
            synthesis_[0].set_equalizer(equalizer_->data());
            synthesis_[1].set_equalizer(equalizer_->data() + 32);
        }
    }
    return 0;
}

int mpeg_codec_instance::get_parameters(codec_parameters& parameters, int mask) const
{
    if (mask & parameter_channel_mode)
        parameters.channel_mode = channel_mode_;
    if (mask & parameter_downsampling)
        parameters.downsampling = downsampling_;
    if (mask & parameter_equalizer) {
        if (!parameters.equalizer)
            return error_invalid_parameters;
        if (!equalizer_) {
            std::memset(parameters.equalizer, 0, 64);
            return error_no_such_variable;
        }
        for (int i = 0; i < 64; ++i)
            parameters.equalizer[i] = byte_of((*equalizer_)[i]);
    }
    return 0;
}

} // namespace melvox::mpeg
