// WAVE files made by the tests themselves.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct WaveLayout {
    uint32_t rate = 44100;
    uint16_t channels = 2;
    uint16_t bits = 16;
    uint16_t formatTag = 1;
    uint32_t fmtSize = 16; // a larger "fmt " chunk is padded with zeros
    // With formatTag 0xFFFE: the sub-format's tag, written into the GUID of
    // a 40-byte "fmt " chunk (0: none written); foreignGuid spoils the GUID.
    uint16_t subFormat = 0;
    bool foreignGuid = false;
    std::vector<uint8_t> data;
    // Chunks between "fmt " and "data": (id, bytes); odd sizes get a pad byte.
    std::vector<std::pair<std::string, std::vector<uint8_t>>> extraChunks;
    std::vector<uint8_t> trailing; // after the data chunk
};

std::vector<uint8_t> waveBytes(const WaveLayout& wave);

// Deterministic noise: bytes of 16-bit samples (all values occur) or of
// 8-bit unsigned samples.
std::vector<uint8_t> noise16(size_t samples, uint32_t seed = 1);
std::vector<uint8_t> noise8(size_t samples, uint32_t seed = 1);

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readBytes(const std::string& path);

uint32_t le32(const std::vector<uint8_t>& bytes, size_t at);
uint16_t le16(const std::vector<uint8_t>& bytes, size_t at);
