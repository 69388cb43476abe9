// The WAVE codec: RIFF WAVE PCM passed on as 16-bit samples, 8-bit data
// converted. It depends on the public module interface only, so that the
// same source builds into the library and into a loadable module.
#include "codec_modules.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t largest_block = 4096;
// Everything before the first data byte must lie within this many bytes.
constexpr uint32_t longest_header = 8191;
constexpr int timeout_retries = 100;

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
    return uint32_t{w->channels} * (w->bits_per_sample == 8 ? 1 : 2);
}

// Whether the format is PCM that this codec can pass on.
bool supported(const wave_codec* w)
{
    constexpr uint16_t pcm = 1, extensible = 0xfffe;
    return (w->format_tag == pcm || w->format_tag == extensible) && w->channels != 0 && w->channels <= 8 &&
           (w->bits_per_sample == 8 || w->bits_per_sample == 16);
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
            if (at > longest_header || !have_format || !supported(w))
                return error_unsupported_format;
            return 0;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t format[16];
            if (size < sizeof format)
                return error_unsupported_format;
            if ((r = read(w, format, sizeof format)) < 0)
                return r == error_end_of_input_stream ? error_unsupported_format : r;
            w->format_tag = le16(format);
            w->channels = le16(format + 2);
            w->sample_rate = le32(format + 4);
            w->byte_rate = le32(format + 8);
            w->block_align = le16(format + 12);
            w->bits_per_sample = le16(format + 14);
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
    fill_format(of(instance), info);
    info->flags |= stream_type_changed | stream_format_changed;
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

    uint32_t bytes = w->sample_rate > 24000 ? 4096 : 2048;
    if (w->sample_rate <= 12000)
        bytes /= 2;
    if (w->bits_per_sample == 8)
        bytes /= 2;
    // Whole samples of every channel only, so that no block splits one.
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
    int r = read(w, pcm, bytes);
    if (r < 0)
        return r;
    uint32_t samples;
    if (w->bits_per_sample == 8) {
        // In place, from the last byte backwards, each byte to a 16-bit sample.
        auto out = static_cast<int16_t*>(frame->buffer);
        for (uint32_t i = bytes; i-- > 0;)
            out[i] = static_cast<int16_t>((pcm[i] - 128) * 256);
        samples = bytes / w->channels;
    } else {
        samples = bytes / (w->channels * 2u);
        if (w->swap_bytes)
            for (uint32_t i = 0; i + 1 < bytes; i += 2)
                std::swap(pcm[i], pcm[i + 1]);
    }
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
