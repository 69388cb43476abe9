// The MPEG audio codec: one instance decodes one stream of MPEG-1, MPEG-2 or
// MPEG 2.5 audio, Layers I to III, into 16-bit PCM, one frame per call. The
// codec module of the player wraps it (registration, query, the decoder's
// services); this part knows only the stream_input it reads from.
#pragma once

#include "layer12.h"
#include "layer3.h"
#include "mpeg_frame_reader.h"
#include "mpeg_header.h"
#include "mpeg_input.h"
#include "mpeg_timeline.h"
#include "synthesis.h"

#include <array>
#include <cstdint>
#include <optional>

namespace melvox::mpeg {

// What the module answers about itself.
inline constexpr const char* module_name = "MPEG Audio Codec";
inline constexpr const char* module_description = "Version 1.2";
inline constexpr const char* submodule_name = "MP1, MP2, MP3";
inline constexpr const char* submodule_description = "MPEG 1 or 2 audio";
inline constexpr const char* mime_type = "audio/mpeg";
inline constexpr int max_frame_bytes = 4608; // 1152 samples x 2 channels x 2 bytes
inline constexpr int capabilities = 3;
// The stream property that holds the exact duration in milliseconds, when
// the frames or a VBR header tell it.
inline constexpr const char* duration_property = "mpeg/duration-ms";
// How far into a stream (behind an ID3v2 tag) its first frame may lie: a
// stream without one so near its start holds no audio, and is refused with
// error_no_audio_found rather than played as silence.
inline constexpr uint64_t max_bytes_before_audio = 65536;

// Decoding options; the mask bits of set_parameters / get_parameters.
struct codec_parameters {
    int channel_mode = 0;             // 0 both, 1 left only, 2 right only, 3 both mixed to one
    int downsampling = 0;             // 0 none, 1 halve (rates >= 32 kHz), 2 quarter (>= 32 kHz) or halve (>= 16 kHz)
    signed char* equalizer = nullptr; // 64 bytes, 32 per channel (left first), one per subband
};
constexpr int parameter_channel_mode = 1;
constexpr int parameter_downsampling = 2;
constexpr int parameter_equalizer = 4;

// Where the codec publishes the stream's properties ("mpeg/level" ...).
class property_writer {
public:
    virtual ~property_writer() = default;
    virtual void set_integer(const char* name, int value) = 0;
};

struct stream_info {
    static constexpr uint32_t properties_changed = 1;
    static constexpr uint32_t format_changed = 2;
    static constexpr uint32_t type_changed = 4;

    uint32_t flags = 0;
    uint32_t duration_ms = 0;
    int sample_rate = 0; // of the stream, Hz
    int bitrate = 0;     // kbit/s
    int channels = 0;
    const char* mime_type = nullptr;
    property_writer* properties = nullptr;
};

struct pcm_frame {
    int16_t* buffer = nullptr; // room for max_frame_bytes; interleaved when two channels
    int samples = 0;           // per channel
    int channels = 0;
    int rate = 0; // output rate, Hz
};

class mpeg_codec_instance {
public:
    // Returns a new instance reading from input (which must outlive it), or
    // null when memory runs out.
    static mpeg_codec_instance* create(stream_input& input);

    // Reads the start of a seekable stream: skips a leading ID3v2 tag, checks
    // that a valid frame header follows (else error_invalid_frame), reports its properties and
    // the duration, and reads a Xing/Info or VBRI header with its frame count
    // and seek table. When the stream's size is known, reads the headers of
    // all its frames into a frame index: the duration of a stream without a
    // VBR header is then exact, and positions are mapped frame by frame.
    // Leaves the input at the first frame.
    int prepare(stream_info& info);

    // Decodes the next frame into pcm. Returns 0, the input's error (after
    // the last frame, error_end_of_input), error_invalid_frame for a frame
    // whose data is malformed (the next call goes on with the next frame),
    // or error_no_audio_found for a stream whose start holds no frame.
    int decode(pcm_frame& pcm, stream_info& info);

    // Position ratio (0 to 1) of a byte offset, and the ratio of the byte
    // offset to seek to for a playing position ratio. With a frame index
    // both are playing-time ratios of the duration, and a seek to the offset
    // that ratio_to_offset gave starts decoding a few frames early (their
    // output dropped) so that the frame at the asked time decodes whole.
    double offset_to_ratio(uint64_t byte_offset) const;
    double ratio_to_offset(double ratio);

    // Starts over with a new stream on the same input.
    void reset();
    // The input has moved to byte_position: decoding resumes with a sync search.
    void reposition(uint64_t byte_position);
    // Drops decoded history: filter memories, the reservoir, the sync.
    void flush();

    // Gapless output: the VBR info frame is not played, and the LAME tag's
    // encoder delay and padding are cut with the decoder's own delay, so
    // that the output is exactly the audio that was encoded. Takes effect
    // with the next prepare or reset.
    void set_gapless(bool on) { timeline_.set_gapless(on); }

    int set_parameters(const codec_parameters& parameters, int mask);
    // Asked for the equalizer when none is set, it zeroes the bytes and
    // returns error_no_such_variable.
    int get_parameters(codec_parameters& parameters, int mask) const;

    bool vbr_header_found() const { return vbr_header_found_; }
    const frame_index& index() const { return timeline_.index(); }
    uint64_t audio_start() const { return audio_start_; }
    uint64_t stream_size() const { return stream_size_; }

private:
    explicit mpeg_codec_instance(stream_input& input);
    // Decodes the next frame; gives frame_not_played for an info frame that
    // gapless output leaves out.
    int decode_frame(pcm_frame& pcm, stream_info& info);
    static constexpr int frame_not_played = 1;
    // The number of the frame just read, counted from the stream's first
    // frame; -1 when unknown.
    long frame_number() const;
    // Frames that were lost before the frame just read.
    int frames_lost() const;
    static constexpr int max_frames_lost = 4096;
    void keep_samples(pcm_frame& pcm, long number, int shift) const;
    int skip_to_planned_seek();
    // Bytes that a planned seek may land before its frame (the caller's
    // arithmetic in single precision).
    uint64_t seek_margin() const;
    // The size of the whole input, tags included.
    uint64_t input_bytes() const;
    bool lands_on_planned_seek(uint64_t position) const;
    void report_frame(const frame_header& header, stream_info& info);
    void estimate_duration(stream_info& info) const;
    static void publish(stream_info& info, const stream_properties& p, bool level, bool layer, bool mode);

    stream_input* input_;
    int channel_mode_ = 0;
    int downsampling_ = 0;
    std::optional<std::array<float, 64>> equalizer_;

    synthesis_channel synthesis_[2];
    frame_reader reader_;
    layer3::decoder layer3_;
    layer12::decoder layer12_;

    bool vbr_header_found_ = false;
    // Whether a frame has been found in the stream, or decoding began
    // somewhere in its middle: then no search is bounded.
    bool audio_found_ = false;
    stream_properties reported_;
    uint32_t average_bitrate_ = 0; // kbit/s, 10 fractional bits
    std::optional<std::array<uint8_t, 100>> seek_table_;
    uint64_t stream_size_ = 0;
    uint64_t audio_start_ = 0;
    double played_ms_ = 0.0; // playing time of the frames decoded since the last flush
    uint64_t reposition_point_ = 0;

    stream_timeline timeline_;
    uint64_t reader_origin_ = 0; // the input offset where the frame reader began
    long frames_read_ = 0;       // since the reader began at the stream's start, else -1
    // The seek that ratio_to_offset worked out: the frame asked for and the
    // earlier frame where decoding starts.
    struct planned_seek {
        bool active = false;
        size_t frame = 0;
        size_t preroll = 0;
        uint64_t start = 0; // byte offset of the first frame decoded
    } planned_;
    // A frame read but not yet decoded, behind the silence of the frames
    // that a damaged stretch before it took.
    bool frame_held_ = false;
    long held_number_ = -1;
    int lost_left_ = 0;
    int previous_length_ = 0; // of the frame read before
    uint64_t skip_to_ = 0;    // after landing: bytes up to here are passed over
    size_t preroll_left_ = 0; // frames still to be decoded without output
};

} // namespace melvox::mpeg
