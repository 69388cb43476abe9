// The headers of the audio files that the file output writes: WAV (RIFF,
// little-endian samples), AIFF (FORM/COMM/SSND, big-endian samples) and Sun
// (".snd", big-endian samples), all 16-bit linear PCM.
#pragma once

#include <cstdint>
#include <vector>

namespace melvox {

enum class audio_file_format { raw, wav, aiff, sun };

// The header for data_bytes bytes of samples. A stream whose header cannot be
// rewritten at its end (a pipe) passes data_bytes = unknown_data_size: the
// sizes are then those that readers take as "until the end of the stream".
// Raw files have no header (an empty vector).
constexpr uint64_t unknown_data_size = UINT64_MAX;
std::vector<uint8_t> audio_file_header(audio_file_format format, uint64_t data_bytes, uint32_t rate, uint32_t channels);

// True when the format's samples are big-endian.
bool has_big_endian_samples(audio_file_format format);

// The 80-bit IEEE extended float of a whole number, big-endian, as AIFF
// stores its sample rate.
void put_extended_float(uint8_t* at, uint32_t value);

} // namespace melvox
