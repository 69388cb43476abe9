// The WAVE codec: RIFF WAVE PCM passed on as 16-bit samples; 8-bit, 24-bit
// and 32-bit integer, 32-bit and 64-bit IEEE float, A-law and mu-law data
// converted (rounded to nearest and clipped). It depends on the public
// module interface only, so that the same source builds into the library and
// into a loadable module.
#include "codec_modules.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t largest_block = 4096;
// Everything before the first data byte must lie within this many bytes.
constexpr uint32_t longest_header = 8191;
constexpr int timeout_retries = 100;
// The widest sample: 64-bit float.
constexpr uint32_t widest_sample = 8;

// How the data holds its samples.
enum class sample_coding { unsigned8, signed_le, ieee_float, a_law, mu_law };

struct wave_codec {
    decoder* owner;
    const char* mime_type = "audio/pcm";
    bool swap_bytes = std::endian::native == std::endian::big;
    uint32_t channel_mode = 0;
    // The "fmt " chunk.
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t byte_rate = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint32_t riff_size = 0;
    uint32_t data_size = 0;
    uint32_t data_offset = 0;
    uint32_t stream_size = 0;
    // What the format tag (or the sub-format of WAVE_FORMAT_EXTENSIBLE) and
    // the sample width tell, once the format is known to be supported.
    sample_coding coding = sample_coding::signed_le;
    uint32_t sample_bytes = 2;
    // Samples wider than 16 bits are read here and converted into the frame.
    uint8_t wide[largest_block / 2 * widest_sample];
};

wave_codec* of(void* instance)
{
    return static_cast<wave_codec*>(instance);
}

uint32_t le32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

int read(wave_codec* w, void* buffer, uint32_t size)
{
    return w->owner->services.input_read(w->owner, buffer, size);
}

uint32_t position(const wave_codec* w)
{
    return static_cast<uint32_t>(w->owner->input.position);
}

// Bytes of one sample of every channel as the data holds them.
uint32_t frame_bytes(const wave_codec* w)
{
    return uint32_t{w->channels} * w->sample_bytes;
}

constexpr uint16_t format_pcm = 1, format_ieee_float = 3, format_a_law = 6, format_mu_law = 7;

// Takes the format that the "fmt " chunk tells (`tag` is the format tag, or
// the sub-format of WAVE_FORMAT_EXTENSIBLE): whether this codec can decode
// it, and how its samples are held. Integer samples narrower than their
// container are aligned to its top, so the container's width is what counts.
bool take_format(wave_codec* w, uint16_t tag)
{
    if (w->channels == 0 || w->channels > 8)
        return false;
    uint32_t bytes = (w->bits_per_sample + 7u) / 8u;
    w->sample_bytes = bytes;
    switch (tag) {
    case format_pcm:
        w->coding = bytes == 1 ? sample_coding::unsigned8 : sample_coding::signed_le;
        return bytes >= 1 && bytes <= 4;
    case format_ieee_float:
        w->coding = sample_coding::ieee_float;
        return w->bits_per_sample == 32 || w->bits_per_sample == 64;
    case format_a_law: w->coding = sample_coding::a_law; return w->bits_per_sample == 8;
    case format_mu_law: w->coding = sample_coding::mu_law; return w->bits_per_sample == 8;
    default: return false;
    }
}

// The format tag of a WAVE_FORMAT_EXTENSIBLE "fmt " chunk (40 bytes): the
// first two bytes of its sub-format GUID, whose other bytes are those of
// every format defined by a tag. 0 for another GUID.
uint16_t extensible_format(const uint8_t* format)
{
    static constexpr uint8_t rest[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    const uint8_t* guid = format + 24;
    return std::memcmp(guid + 2, rest, sizeof rest) == 0 ? le16(guid) : 0;
}

int16_t clipped(int64_t v)
{
    return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
}

// Nearest 16-bit value of a float sample (full scale 1.0); NaN gives 0.
int16_t from_float(double x)
{
    if (!(x == x))
        return 0;
    return clipped(static_cast<int64_t>(std::floor(std::clamp(x, -2.0, 2.0) * 32768.0 + 0.5)));
}

// The G.711 expansions of an A-law and a mu-law byte to 16 bits.
int16_t from_a_law(uint8_t a)
{
    a ^= 0x55;
    int magnitude = (a & 0x0F) << 4 | 8;
    int segment = (a >> 4) & 7;
    if (segment > 0)
        magnitude = (magnitude + 0x100) << (segment - 1);
    return static_cast<int16_t>(a & 0x80 ? magnitude : -magnitude);
}

int16_t from_mu_law(uint8_t u)
{
    u = static_cast<uint8_t>(~u);
    int magnitude = (((u & 0x0F) << 3) + 0x84) << ((u >> 4) & 7);
    return static_cast<int16_t>(u & 0x80 ? 0x84 - magnitude : magnitude - 0x84);
}

// Converts `count` samples of the data at `in` into 16-bit samples at `out`
// (rounded to nearest, ties upwards, and clipped). `in` and `out` may be the
// same buffer for the 8-bit codings, which are converted from the end.
void convert(const wave_codec* w, const uint8_t* in, int16_t* out, uint32_t count)
{
    switch (w->coding) {
    case sample_coding::unsigned8:
        for (uint32_t i = count; i-- > 0;)
            out[i] = static_cast<int16_t>((in[i] - 128) * 256);
        return;
    case sample_coding::a_law:
        for (uint32_t i = count; i-- > 0;)
            out[i] = from_a_law(in[i]);
        return;
    case sample_coding::mu_law:
        for (uint32_t i = count; i-- > 0;)
            out[i] = from_mu_law(in[i]);
        return;
    case sample_coding::signed_le:
        for (uint32_t i = 0; i < count; ++i, in += w->sample_bytes) {
            // The sample at the top of 32 bits, then its top 16 bits rounded.
            uint32_t v = 0;
            for (uint32_t b = 0; b < w->sample_bytes; ++b)
                v |= uint32_t{in[b]} << (8 * (4 - w->sample_bytes + b));
            out[i] = clipped((int64_t{static_cast<int32_t>(v)} + 0x8000) >> 16);
        }
        return;
    case sample_coding::ieee_float:
        for (uint32_t i = 0; i < count; ++i, in += w->sample_bytes) {
            uint64_t bits = 0;
            for (uint32_t b = 0; b < w->sample_bytes; ++b)
                bits |= uint64_t{in[b]} << (8 * b);
            out[i] = from_float(w->sample_bytes == 4 ? double(std::bit_cast<float>(static_cast<uint32_t>(bits)))
                                                     : std::bit_cast<double>(bits));
        }
        return;
    }
}

int probe(const char* mime_type, const char* name)
{
    if (mime_type == nullptr)
        mime_type = "audio/unknown";
    for (const char* own : {"audio/wave", "audio/x-wav", "audio/x-wave"})
        if (std::strcmp(mime_type, own) == 0)
            return 0;
    bool unknown = std::strcmp(mime_type, "audio/unknown") == 0 || std::strcmp(mime_type, "audio") == 0 ||
                   std::strcmp(mime_type, "unknown") == 0;
    if (!unknown || name == nullptr)
        return error_no_codec_found;
    const char* dot = std::strrchr(name, '.');
    return dot != nullptr && std::strcmp(dot + 1, "wav") == 0 ? 0 : error_no_codec_found;
}

int query(codec_module_info* record, int flags)
{
    if (record == nullptr)
        return error_invalid_parameters;
    module_info& info = record->info;
    if (flags & query_module_name) {
        std::snprintf(info.name, sizeof info.name, "WAVE Audio Codec");
        std::snprintf(info.description, sizeof info.description, "Version 1.0");
        info.index = 0;
    }
    if (flags & query_device_count)
        info.index = 1;
    if (flags & query_device) {
        if (info.index != 0)
            return error_invalid_parameters;
        info.flags = device_is_pattern;
        std::snprintf(info.name, sizeof info.name, "any wav stream");
        info.description[0] = '\0';
    }
    if (flags & query_largest_frame)
        record->largest_frame_bytes = largest_block;
    if (flags & query_capabilities)
        info.flags = 0;
    return 0;
}

int new_instance(void** instance, const char*, const char*, const module_entry*, decoder* d)
{
    if (instance == nullptr || d == nullptr)
        return error_invalid_parameters;
    auto w = new (std::nothrow) wave_codec{};
    if (w == nullptr)
        return error_out_of_memory;
    w->owner = d;
    *instance = w;
    return 0;
}

int delete_instance(void* instance)
{
    delete of(instance);
    return 0;
}

// Reads and drops bytes up to target.
int skip_to(wave_codec* w, uint32_t target)
{
    uint8_t discard[32];
    while (position(w) < target) {
        uint32_t n = std::min<uint32_t>(sizeof discard, target - position(w));
        if (int r = read(w, discard, n); r < 0)
            return r;
    }
    return 0;
}

// Reads the RIFF header and the chunks up to the first data byte.
int reset(void* instance)
{
    wave_codec* w = of(instance);
    decoder* owner = w->owner;
    *w = wave_codec{};
    w->owner = owner;
    w->stream_size = static_cast<uint32_t>(owner->input.size);

    uint8_t riff[12];
    int r = read(w, riff, sizeof riff);
    for (int retry = 0; r == error_timeout && retry < timeout_retries; ++retry)
        r = read(w, riff, sizeof riff);
    if (r < 0)
        return r == error_end_of_input_stream ? error_unsupported_format : r;
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return error_unsupported_format;
    w->riff_size = le32(riff + 4);

    bool have_format = false;
    uint32_t at = 12;
    for (;;) {
        uint8_t chunk[8];
        if ((r = read(w, chunk, sizeof chunk)) < 0)
            return r == error_end_of_input_stream ? error_unsupported_format : r;
        uint32_t size = le32(chunk + 4);
        at += 8;
        if (std::memcmp(chunk, "data", 4) == 0) {
            w->data_size = size;
            w->data_offset = at;
            if (at > longest_header || !have_format)
                return error_unsupported_format;
            return 0;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // The common 16 bytes, and for WAVE_FORMAT_EXTENSIBLE the
            // extension (24 bytes more) that names the sub-format.
            constexpr uint16_t extensible = 0xfffe;
            uint8_t format[40];
            uint32_t length = size >= 40 ? 40 : 16;
            if (size < 16)
                return error_unsupported_format;
            if ((r = read(w, format, length)) < 0)
                return r == error_end_of_input_stream ? error_unsupported_format : r;
            w->format_tag = le16(format);
            w->channels = le16(format + 2);
            w->sample_rate = le32(format + 4);
            w->byte_rate = le32(format + 8);
            w->block_align = le16(format + 12);
            w->bits_per_sample = le16(format + 14);
            uint16_t tag = w->format_tag;
            if (tag == extensible)
                tag = length == 40 ? extensible_format(format) : format_pcm;
            if (!take_format(w, tag))
                return error_unsupported_format;
            have_format = true;
        }
        // RIFF keeps chunks at even offsets: a chunk of odd size is padded.
        uint64_t next = uint64_t{at} + size + (size & 1);
        if (next > longest_header)
            return error_unsupported_format;
        at = static_cast<uint32_t>(next);
        // Read past the rest of the chunk rather than seek, so that a stream
        // that cannot seek (standard input) works too; it is short.
        if ((r = skip_to(w, at)) < 0)
            return r == error_end_of_input_stream ? error_unsupported_format : r;
    }
}

void fill_format(const wave_codec* w, stream_info* info)
{
    info->mime_type = w->mime_type;
    info->duration_ms = w->byte_rate != 0 ? w->data_size / w->byte_rate * 1000 : 0;
    info->sample_rate = w->sample_rate;
    info->bitrate = w->byte_rate * 8 / 1000;
    info->channels = w->channels;
}

int prepare(void* instance, stream_info* info)
{
    if (info == nullptr)
        return error_invalid_parameters;
    wave_codec* w = of(instance);
    fill_format(w, info);
    info->flags |= stream_type_changed | stream_format_changed;
    // What a player shows of the format: the coding and the sample width.
    static const char* const codings[] = {"PCM", "PCM", "IEEE float", "A-law", "mu-law"};
    w->owner->services.property_set_string(w->owner, "wave/coding", codings[static_cast<int>(w->coding)]);
    w->owner->services.property_set_integer(w->owner, "wave/bits", w->bits_per_sample);
    return 0;
}

// Where the data ends, when the header and the input tell: 0 when unknown.
uint32_t data_end(const wave_codec* w)
{
    uint64_t end = 0;
    if (w->data_size != 0 && w->data_size != UINT32_MAX)
        end = uint64_t{w->data_offset} + w->data_size;
    if (w->stream_size != 0 && (end == 0 || end > w->stream_size))
        end = w->stream_size;
    return static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX));
}

int decode(void* instance, pcm_frame* frame, stream_info* info)
{
    wave_codec* w = of(instance);
    if (frame == nullptr || info == nullptr || frame->buffer == nullptr || w->channels == 0)
        return error_invalid_parameters;
    if (info->mime_type == nullptr || std::strcmp(info->mime_type, w->mime_type) != 0) {
        info->mime_type = w->mime_type;
        info->flags |= stream_type_changed;
    }
    // A stream that was never prepared (it cannot seek) learns its format here.
    if (info->sample_rate != w->sample_rate || info->channels != w->channels) {
        fill_format(w, info);
        info->flags |= stream_format_changed;
    }
    if (int r = skip_to(w, w->data_offset); r < 0)
        return r;
    uint32_t into_data = position(w) - w->data_offset;
    if (w->block_align != 0 && w->block_align <= 32 && into_data % w->block_align != 0) {
        if (int r = skip_to(w, position(w) + w->block_align - into_data % w->block_align); r < 0)
            return r;
    }

    // The output block: 4096 bytes, 2048 at 24 kHz and below, 1024 at 12 kHz
    // and below; the data that gives it, in whole samples of every channel.
    uint32_t output = w->sample_rate > 24000 ? 4096 : 2048;
    if (w->sample_rate <= 12000)
        output /= 2;
    uint32_t bytes = output / 2 * w->sample_bytes;
    bytes -= bytes % frame_bytes(w);
    // The last block of the data is as long as what is left of it.
    if (uint32_t end = data_end(w); end != 0) {
        if (position(w) >= end)
            return error_end_of_input_stream;
        uint32_t left = end - position(w);
        if (left < bytes)
            bytes = left - left % frame_bytes(w);
        if (bytes == 0)
            return error_end_of_input_stream;
    }

    auto pcm = static_cast<uint8_t*>(frame->buffer);
    bool wide = w->sample_bytes > 2;
    int r = read(w, wide ? w->wide : pcm, bytes);
    if (r < 0)
        return r;
    uint32_t count = bytes / w->sample_bytes;
    if (w->coding == sample_coding::signed_le && w->sample_bytes == 2) {
        if (w->swap_bytes)
            for (uint32_t i = 0; i + 1 < bytes; i += 2)
                std::swap(pcm[i], pcm[i + 1]);
    } else {
        convert(w, wide ? w->wide : pcm, static_cast<int16_t*>(frame->buffer), count);
    }
    uint32_t samples = count / w->channels;
    frame->samples_per_channel = samples;
    frame->bytes_per_sample = 2;
    frame->channels = w->channels;
    frame->sample_rate = w->sample_rate;
    return 0;
}

int set_parameters(void* instance, const codec_parameters* parameters, uint32_t mask)
{
    if (parameters == nullptr)
        return error_invalid_parameters;
    if (mask & codec_parameter_channel_mode)
        of(instance)->channel_mode = parameters->channel_mode;
    return 0;
}

int get_parameters(void* instance, codec_parameters* parameters, uint32_t mask)
{
    if (parameters == nullptr)
        return error_invalid_parameters;
    if (mask & codec_parameter_channel_mode)
        parameters->channel_mode = of(instance)->channel_mode;
    return 0;
}

} // namespace

extern "C" int wave_codec_module_register(codec_module* t)
{
    if (t == nullptr)
        return error_invalid_parameters;
    t->version = module_interface_version;
    t->probe = probe;
    t->query = query;
    t->new_instance = new_instance;
    t->delete_instance = delete_instance;
    t->decode = decode;
    t->prepare = prepare;
    t->reset = reset;
    t->set_parameters = set_parameters;
    t->get_parameters = get_parameters;
    return 0;
}
