// 16-bit PCM WAVE files: the 44-byte RIFF header and the samples, all
// little-endian whatever the machine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> wavHeader(uint32_t dataBytes, int channels, int sampleRate);

// Writes `samples` (interleaved) to a temporary file beside `path` and
// renames it into place, so that a failed write leaves any earlier file
// untouched. Returns false with a message in `error` on failure.
bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int channels, int sampleRate,
              std::string& error);
