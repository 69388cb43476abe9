#include "wav_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putTag(std::vector<uint8_t>& out, const char* tag)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

} // namespace

std::vector<uint8_t> wavHeader(uint32_t dataBytes, int channels, int sampleRate)
{
    const uint16_t bytesPerSample = 2;
    std::vector<uint8_t> h;
    putTag(h, "RIFF");
    put32(h, 36 + dataBytes); // everything after this field
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    put32(h, 16);
    put16(h, 1); // integer PCM
    put16(h, static_cast<uint16_t>(channels));
    put32(h, static_cast<uint32_t>(sampleRate));
    put32(h, static_cast<uint32_t>(sampleRate) * channels * bytesPerSample);
    put16(h, static_cast<uint16_t>(channels * bytesPerSample));
    put16(h, 16);
    putTag(h, "data");
    put32(h, dataBytes);
    return h;
}

bool writeWav(const std::string& path, const std::vector<int16_t>& samples, int channels, int sampleRate,
              std::string& error)
{
    if (channels < 1 || channels > 8 || sampleRate <= 0 || samples.size() % channels != 0) {
        error = "bad WAVE format: " + std::to_string(channels) + " channels at " + std::to_string(sampleRate) +
                " Hz for " + std::to_string(samples.size()) + " samples";
        return false;
    }
    if (samples.size() > (std::numeric_limits<uint32_t>::max() - 36) / 2) {
        error = "too long for a WAVE file: " + std::to_string(samples.size()) + " samples";
        return false;
    }
    std::vector<uint8_t> bytes = wavHeader(static_cast<uint32_t>(samples.size() * 2), channels, sampleRate);
    bytes.reserve(bytes.size() + 2 * samples.size());
    for (int16_t s : samples)
        put16(bytes, static_cast<uint16_t>(s));

    std::string partial = path + ".part";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (!f) {
        error = "cannot create " + partial + ": " + std::strerror(errno);
        return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int writeErrno = errno;
    if (std::fclose(f) != 0 && written) {
        written = false;
        writeErrno = errno;
    }
    if (!written) {
        std::remove(partial.c_str());
        error = "cannot write " + partial + ": " + std::strerror(writeErrno);
        return false;
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + partial + " to " + path + ": " + std::strerror(errno);
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
