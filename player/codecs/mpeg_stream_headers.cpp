#include "mpeg_stream_headers.h"

#include <algorithm>
#include <cstring>

namespace melvox::mpeg {

namespace {

uint32_t big_endian32(const uint8_t* p)
{
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

} // namespace

uint64_t id3v2_tag_size(const uint8_t* bytes, size_t size)
{
    if (size < 10 || std::memcmp(bytes, "ID3", 3) != 0)
        return 0;
    // A synchsafe integer: 7 bits from each of four bytes.
    uint64_t body = 0;
    for (int i = 6; i < 10; ++i)
        body = body << 7 | (bytes[i] & 0x7F);
    bool footer = bytes[5] & 0x10;
    return body + 10 + (footer ? 10 : 0);
}

std::optional<vbr_header> find_vbr_header(const frame_header& header, const uint8_t* frame, size_t size)
{
    // Xing-style headers follow the side information (the CRC word is not counted).
    size_t offset = 4 + static_cast<size_t>(side_info_length(header)) - (header.protection_bit ? 0 : 2);
    if (offset + 18 <= size &&
        (std::memcmp(frame + offset, "Xing", 4) == 0 || std::memcmp(frame + offset, "Info", 4) == 0 ||
         std::memcmp(frame + offset, "Lame", 4) == 0)) {
        vbr_header vbr;
        uint32_t flags = big_endian32(frame + offset + 4);
        size_t at = offset + 8;
        if (flags & 1) {
            vbr.has_frames = true;
            vbr.frames = big_endian32(frame + at);
            at += 4;
        }
        if (flags & 2)
            at += 4; // the byte count is not needed
        if ((flags & 4) && at + 100 <= size) {
            vbr.seek_table.emplace();
            std::copy(frame + at, frame + at + 100, vbr.seek_table->begin());
        }
        if (flags & 4)
            at += 100;
        if (flags & 8)
            at += 4; // quality
        // The LAME tag: a 9-byte encoder name (LAME's, or ffmpeg's that
        // writes the same tag), and 21 bytes on two 12-bit numbers.
        if (at + 24 <= size && (std::memcmp(frame + at, "LAME", 4) == 0 || std::memcmp(frame + at, "Lavc", 4) == 0 ||
                                std::memcmp(frame + at, "Lavf", 4) == 0)) {
            const uint8_t* gap = frame + at + 21;
            vbr.has_gap = true;
            vbr.encoder_delay = gap[0] << 4 | gap[1] >> 4;
            vbr.encoder_padding = (gap[1] & 0x0F) << 8 | gap[2];
        }
        return vbr;
    }
    // VBRI stands at a fixed place, behind 32 bytes of side information.
    if (36 + 18 <= size && std::memcmp(frame + 36, "VBRI", 4) == 0) {
        vbr_header vbr;
        vbr.has_frames = true;
        vbr.frames = big_endian32(frame + 36 + 14);
        return vbr;
    }
    return std::nullopt;
}

} // namespace melvox::mpeg
