#include "audio_file_headers.h"

#include <algorithm>
#include <cstring>

namespace melvox {
namespace {

constexpr size_t wav_header_size = 44, aiff_header_size = 54, sun_header_size = 28;

void put_le16(uint8_t* at, uint32_t v)
{
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void put_le32(uint8_t* at, uint32_t v)
{
    put_le16(at, v & 0xffff);
    put_le16(at + 2, v >> 16);
}

void put_be16(uint8_t* at, uint32_t v)
{
    at[0] = static_cast<uint8_t>(v >> 8);
    at[1] = static_cast<uint8_t>(v);
}

void put_be32(uint8_t* at, uint32_t v)
{
    put_be16(at, v >> 16);
    put_be16(at + 2, v & 0xffff);
}

// Sizes beyond 32 bits are written as the largest that fits. A stream of
// unknown length says 0xFFFFFFFF for both sizes, which readers of a pipe
// take as "until the end".
std::vector<uint8_t> wav_header(uint64_t data_bytes, uint32_t rate, uint32_t channels)
{
    std::vector<uint8_t> h(wav_header_size);
    bool unknown = data_bytes == unknown_data_size;
    uint32_t data = unknown ? UINT32_MAX : static_cast<uint32_t>(std::min<uint64_t>(data_bytes, UINT32_MAX - 36));
    std::memcpy(&h[0], "RIFF", 4);
    put_le32(&h[4], unknown ? UINT32_MAX : data + 36);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    put_le32(&h[16], 16);
    put_le16(&h[20], 1); // PCM
    put_le16(&h[22], channels);
    put_le32(&h[24], rate);
    put_le32(&h[28], rate * channels * 2);
    put_le16(&h[32], channels * 2);
    put_le16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    put_le32(&h[40], data);
    return h;
}

// AIFF knows no "unknown" size. A stream of unknown length declares the
// largest whole number of frames whose FORM size a reader that counts in
// signed 32 bits still takes; the stream simply ends before it.
std::vector<uint8_t> aiff_header(uint64_t data_bytes, uint32_t rate, uint32_t channels)
{
    std::vector<uint8_t> h(aiff_header_size);
    uint32_t frame_bytes = std::max<uint32_t>(channels, 1) * 2;
    uint64_t limit = (data_bytes == unknown_data_size ? INT32_MAX : UINT32_MAX) - (aiff_header_size - 8) - 1;
    uint64_t data = std::min(data_bytes, limit / frame_bytes * frame_bytes);
    uint64_t padded = data + (data & 1); // chunks are of even size
    std::memcpy(&h[0], "FORM", 4);
    put_be32(&h[4], static_cast<uint32_t>(aiff_header_size - 8 + padded));
    std::memcpy(&h[8], "AIFF", 4);
    std::memcpy(&h[12], "COMM", 4);
    put_be32(&h[16], 18);
    put_be16(&h[20], channels);
    put_be32(&h[22], static_cast<uint32_t>(data / frame_bytes));
    put_be16(&h[26], 16);
    put_extended_float(&h[28], rate);
    std::memcpy(&h[38], "SSND", 4);
    put_be32(&h[42], static_cast<uint32_t>(8 + data));
    put_be32(&h[46], 0); // offset of the first sample
    put_be32(&h[50], 0); // block size
    return h;
}

// A Sun audio header, encoding 3 (16-bit linear), with the four bytes of
// (empty) annotation that readers expect; 0xFFFFFFFF is its documented
// "size unknown".
std::vector<uint8_t> sun_header(uint64_t data_bytes, uint32_t rate, uint32_t channels)
{
    std::vector<uint8_t> h(sun_header_size);
    std::memcpy(&h[0], ".snd", 4);
    put_be32(&h[4], sun_header_size);
    put_be32(&h[8], static_cast<uint32_t>(std::min<uint64_t>(data_bytes, UINT32_MAX)));
    put_be32(&h[12], 3);
    put_be32(&h[16], rate);
    put_be32(&h[20], channels);
    return h;
}

} // namespace

void put_extended_float(uint8_t* at, uint32_t value)
{
    std::memset(at, 0, 10);
    if (value == 0)
        return;
    int top = 31;
    while ((value >> top) == 0)
        --top;
    put_be16(at, 16383 + top);                                      // sign 0, biased exponent
    uint64_t mantissa = static_cast<uint64_t>(value) << (63 - top); // explicit leading 1
    for (int i = 0; i < 8; ++i)
        at[2 + i] = static_cast<uint8_t>(mantissa >> (56 - 8 * i));
}

std::vector<uint8_t> audio_file_header(audio_file_format format, uint64_t data_bytes, uint32_t rate, uint32_t channels)
{
    switch (format) {
    case audio_file_format::wav: return wav_header(data_bytes, rate, channels);
    case audio_file_format::aiff: return aiff_header(data_bytes, rate, channels);
    case audio_file_format::sun: return sun_header(data_bytes, rate, channels);
    case audio_file_format::raw: break;
    }
    return {};
}

bool has_big_endian_samples(audio_file_format format)
{
    return format == audio_file_format::aiff || format == audio_file_format::sun;
}

} // namespace melvox
