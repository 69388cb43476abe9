#include "wave_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

void chunk(std::vector<uint8_t>& out, const std::string& id, const std::vector<uint8_t>& body)
{
    out.insert(out.end(), id.begin(), id.end());
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0)
        out.push_back(0);
}

} // namespace

std::vector<uint8_t> waveBytes(const WaveLayout& s)
{
    std::vector<uint8_t> fmt;
    put16(fmt, s.formatTag);
    put16(fmt, s.channels);
    put32(fmt, s.rate);
    uint32_t align = s.channels * (s.bits / 8u);
    put32(fmt, s.rate * align);
    put16(fmt, align);
    put16(fmt, s.bits);
    if (s.subFormat != 0) {
        put16(fmt, 22);     // extension size
        put16(fmt, s.bits); // valid bits
        put32(fmt, s.channels == 1 ? 0x4 : 0x3);
        put16(fmt, s.subFormat);
        fmt.insert(fmt.end(), {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
        if (s.foreignGuid)
            fmt.back() ^= 0xFF;
    }
    fmt.resize(std::max<size_t>(s.fmtSize, fmt.size()), 0);
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    chunk(body, "fmt ", fmt);
    for (const auto& [id, bytes] : s.extraChunks)
        chunk(body, id, bytes);
    body.insert(body.end(), {'d', 'a', 't', 'a'});
    put32(body, static_cast<uint32_t>(s.data.size()));
    body.insert(body.end(), s.data.begin(), s.data.end());
    body.insert(body.end(), s.trailing.begin(), s.trailing.end());
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> noise16(size_t samples, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < samples; ++i)
        put16(out, random() & 0xffff);
    return out;
}

std::vector<uint8_t> noise8(size_t samples, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> out(samples);
    for (uint8_t& b : out)
        b = static_cast<uint8_t>(random());
    return out;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t{b.at(at)} | uint32_t{b.at(at + 1)} << 8 | uint32_t{b.at(at + 2)} << 16 |
           uint32_t{b.at(at + 3)} << 24;
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b.at(at) | b.at(at + 1) << 8);
}
