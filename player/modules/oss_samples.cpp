#include "oss_samples.h"

#include <bit>
#include <cstring>

namespace melvox::oss {

const char* format_name(int format)
{
    switch (format) {
    case format_mu_law: return "mu law";
    case format_u8: return "8 bits unsigned";
    case format_s16_le: return "16 bits signed, little-endian";
    case format_s16_be: return "16 bits signed, big-endian";
    default: return "unknown";
    }
}

bool is_16bit(int format)
{
    return format == format_s16_le || format == format_s16_be;
}

bool differs_from_host_order(int format)
{
    constexpr bool host_little = std::endian::native == std::endian::little;
    return (format == format_s16_le && !host_little) || (format == format_s16_be && host_little);
}

uint8_t mu_law(int16_t sample)
{
    constexpr int bias = 0x84, clip = 32635;
    int magnitude = sample < 0 ? -static_cast<int>(sample) : sample;
    uint8_t sign = sample < 0 ? 0x80 : 0;
    if (magnitude > clip)
        magnitude = clip;
    magnitude += bias;
    int exponent = 7;
    for (int mask = 0x4000; (magnitude & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    int mantissa = (magnitude >> (exponent + 3)) & 0x0f;
    return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa));
}

size_t convert_samples(const int16_t* in, size_t count, int format, bool swap, uint8_t* out)
{
    switch (format) {
    case format_s16_le:
    case format_s16_be:
        if (!swap) {
            std::memcpy(out, in, count * 2);
        } else {
            for (size_t i = 0; i < count; ++i) {
                auto v = static_cast<uint16_t>(in[i]);
                out[2 * i] = static_cast<uint8_t>(v >> 8);
                out[2 * i + 1] = static_cast<uint8_t>(v);
            }
        }
        return count * 2;
    case format_u8:
        for (size_t i = 0; i < count; ++i)
            out[i] = static_cast<uint8_t>((in[i] >> 8) + 128);
        return count;
    case format_mu_law:
        for (size_t i = 0; i < count; ++i)
            out[i] = mu_law(in[i]);
        return count;
    default: return 0;
    }
}

} // namespace melvox::oss
