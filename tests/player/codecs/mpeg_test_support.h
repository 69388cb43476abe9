// Helpers of the MPEG audio tests: synthetic signals, test streams made with
// the encoders (lame, twolame), reference decodings by mpg123, decoding with
// our codec, and the compliance measure between two decodings.
#pragma once

#include "mpeg_codec.h"
#include "temp_dir.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mpeg_test {

enum class signal_kind {
    sweep,      // a sine sweep, the same in both channels
    noise,      // white noise, independent per channel
    transients, // clicks and noise bursts over a quiet tone (forces short blocks)
    stereo,     // different content per channel: sweep left, tone and bursts right
};

// Interleaved 16-bit samples.
std::vector<int16_t> make_signal(signal_kind kind, int rate, int channels, double seconds, unsigned seed = 1);

// Whether a program can be run from PATH.
bool have_program(const std::string& name);
// Runs a shell command; returns its exit status.
int run_command(const std::string& command);

// Writes pcm raw and encodes it; returns the stream's bytes (empty on failure).
std::vector<uint8_t> encode_lame(const TempDir& dir, const std::vector<int16_t>& pcm, int rate, int channels,
                                 const std::string& options);
std::vector<uint8_t> encode_twolame(const TempDir& dir, const std::vector<int16_t>& pcm, int rate, int channels,
                                    const std::string& options);

std::vector<uint8_t> read_bytes(const std::string& path);
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

// mpg123 -q --no-gapless -s of the stream; with gapless, mpg123's gapless
// decoding (its default).
std::vector<int16_t> reference_decode(const TempDir& dir, const std::vector<uint8_t>& stream, bool gapless = false);

struct decoding {
    std::vector<int16_t> samples; // interleaved
    int channels = 0;
    int rate = 0;
    int frames = 0;
    int invalid_frames = 0;
    int end_result = 0;         // the result that ended decoding
    size_t last_frame_size = 0; // samples of the last frame, all channels
    melvox::mpeg::stream_info info;
};

// Decodes a whole stream with our codec (prepare first when asked).
decoding decode(const std::vector<uint8_t>& stream, const melvox::mpeg::codec_parameters& parameters = {},
                bool prepare = true, int max_calls = 100000, bool gapless = false);
// The same, gapless, as melvox-play decodes.
inline decoding decode_gapless(const std::vector<uint8_t>& stream, bool prepare = true)
{
    return decode(stream, {}, prepare, 100000, true);
}

struct comparison {
    int offset = 0;         // samples per channel that `ours` has ahead of the reference
    size_t compared = 0;    // samples per channel compared
    int max_difference = 0; // LSB
    double rms = 0.0;       // LSB
};

// Aligns the two decodings (by whole frames: a reference may drop the VBR
// info frame) and measures the difference over the common part.
comparison compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& reference, int channels);

// The compliance limits: at most 2 LSB, RMS below 2^-15 / sqrt(12) of full scale.
constexpr int max_difference_limit = 2;
constexpr double rms_limit = 0.2887;

} // namespace mpeg_test

namespace mpeg_test {

// Per Layer III block type (0 to 3), how many granule channels of the stream use it.
std::array<int, 4> count_block_types(const std::vector<uint8_t>& stream);

} // namespace mpeg_test
