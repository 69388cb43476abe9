// The MPEG audio codec as a codec module of the player: the method table and
// its answers, and the adapters between the decoder's services and records
// and the decoding core (mpeg_codec.h), which knows only a stream_input.
#include "melvox_modules.h"
#include "codec_modules.h"
#include "mpeg_codec.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>

namespace {

namespace mpeg = melvox::mpeg;

// The decoder's input read, seek, size and position services as the core's
// byte stream.
class decoder_input final : public mpeg::stream_input {
public:
    explicit decoder_input(decoder* owner) : owner_(owner) {}

    int read(void* buffer, size_t size) override
    {
        // The core reads at most a frame buffer at a time; larger requests go
        // in pieces that the service can take.
        auto bytes = static_cast<uint8_t*>(buffer);
        while (size > 0) {
            auto piece = static_cast<uint32_t>(std::min<size_t>(size, std::numeric_limits<int32_t>::max()));
            if (int r = owner_->services.input_read(owner_, bytes, piece); r < 0)
                return r;
            bytes += piece;
            size -= piece;
        }
        return 0;
    }
    int seek(uint64_t offset) override
    {
        if (offset > std::numeric_limits<uint32_t>::max())
            return error_invalid_parameters;
        return owner_->services.input_seek(owner_, static_cast<uint32_t>(offset));
    }
    uint64_t size() override { return owner_->input.size; }
    uint64_t position() override { return owner_->input.position; }

private:
    decoder* owner_;
};

// The decoder's property service as the core's property writer.
class decoder_properties final : public mpeg::property_writer {
public:
    explicit decoder_properties(decoder* owner) : owner_(owner) {}
    void set_integer(const char* name, int value) override
    {
        owner_->services.property_set_integer(owner_, name, value);
    }

private:
    decoder* owner_;
};

struct mpeg_module {
    explicit mpeg_module(decoder* d) : owner(d), input(d), properties(d) {}
    decoder* owner;
    decoder_input input;
    decoder_properties properties;
    std::unique_ptr<mpeg::mpeg_codec_instance> codec;

    // The player's settings for the codec, read again for every stream.
    void read_settings()
    {
        int32_t gapless = 0;
        if (owner->services.environment_get_integer == nullptr ||
            owner->services.environment_get_integer(owner, "CODEC.MPEG.GAPLESS", &gapless) != 0)
            gapless = 0;
        codec->set_gapless(gapless == 1);
    }
};

mpeg::mpeg_codec_instance& of(void* instance)
{
    return *static_cast<mpeg_module*>(instance)->codec;
}

// The pipeline's stream record as the core's, and back. Flags are added to
// those already set (the property service sets one of its own).
mpeg::stream_info core_info(const stream_info& info, mpeg::property_writer* properties)
{
    mpeg::stream_info s;
    s.duration_ms = info.duration_ms;
    s.sample_rate = static_cast<int>(info.sample_rate);
    s.bitrate = static_cast<int>(info.bitrate);
    s.channels = static_cast<int>(info.channels);
    s.mime_type = info.mime_type;
    s.properties = properties;
    return s;
}

void store_info(const mpeg::stream_info& s, stream_info& info)
{
    info.flags |= s.flags;
    info.duration_ms = s.duration_ms;
    info.sample_rate = static_cast<uint32_t>(s.sample_rate);
    info.bitrate = static_cast<uint32_t>(s.bitrate);
    info.channels = static_cast<uint32_t>(s.channels);
    info.mime_type = s.mime_type;
}

int probe(const char*, const char*)
{
    // The codec that takes whatever no more particular codec claims.
    return 0;
}

int query(codec_module_info* record, int flags)
{
    if (record == nullptr)
        return error_invalid_parameters;
    module_info& info = record->info;
    if (flags & query_module_name) {
        std::snprintf(info.name, sizeof info.name, "%s", mpeg::module_name);
        std::snprintf(info.description, sizeof info.description, "%s", mpeg::module_description);
        info.index = 0;
    }
    if (flags & query_device_count)
        info.index = 1;
    if (flags & query_device) {
        if (info.index != 0)
            return error_invalid_parameters;
        std::snprintf(info.name, sizeof info.name, "%s", mpeg::submodule_name);
        std::snprintf(info.description, sizeof info.description, "%s", mpeg::submodule_description);
    }
    if (flags & query_largest_frame)
        record->largest_frame_bytes = mpeg::max_frame_bytes;
    if (flags & query_capabilities)
        info.flags = mpeg::capabilities;
    return 0;
}

int new_instance(void** instance, const char*, const char*, const module_entry*, decoder* d)
{
    if (instance == nullptr || d == nullptr)
        return error_invalid_parameters;
    auto m = new (std::nothrow) mpeg_module(d);
    if (m == nullptr)
        return error_out_of_memory;
    m->codec.reset(mpeg::mpeg_codec_instance::create(m->input));
    if (m->codec == nullptr) {
        delete m;
        return error_out_of_memory;
    }
    m->read_settings();
    *instance = m;
    return 0;
}

int delete_instance(void* instance)
{
    delete static_cast<mpeg_module*>(instance);
    return 0;
}

int decode(void* instance, pcm_frame* frame, stream_info* info)
{
    if (frame == nullptr || info == nullptr || frame->buffer == nullptr)
        return error_invalid_parameters;
    auto& m = *static_cast<mpeg_module*>(instance);
    mpeg::stream_info s = core_info(*info, &m.properties);
    mpeg::pcm_frame pcm;
    pcm.buffer = static_cast<int16_t*>(frame->buffer);
    int r = m.codec->decode(pcm, s);
    store_info(s, *info);
    if (r < 0)
        return r;
    frame->samples_per_channel = static_cast<uint32_t>(pcm.samples);
    frame->bytes_per_sample = 2;
    frame->channels = static_cast<uint32_t>(pcm.channels);
    frame->sample_rate = static_cast<uint32_t>(pcm.rate);
    return 0;
}

int prepare(void* instance, stream_info* info)
{
    if (info == nullptr)
        return error_invalid_parameters;
    auto& m = *static_cast<mpeg_module*>(instance);
    mpeg::stream_info s = core_info(*info, &m.properties);
    int r = m.codec->prepare(s);
    store_info(s, *info);
    return r;
}

float offset_to_ratio(void* instance, uint32_t offset)
{
    return static_cast<float>(of(instance).offset_to_ratio(offset));
}

float ratio_to_offset(void* instance, float ratio)
{
    return static_cast<float>(of(instance).ratio_to_offset(ratio));
}

int reset(void* instance)
{
    auto& m = *static_cast<mpeg_module*>(instance);
    m.read_settings();
    m.codec->reset();
    return 0;
}

int reposition(void* instance, uint32_t offset)
{
    of(instance).reposition(offset);
    return 0;
}

int flush(void* instance)
{
    of(instance).flush();
    return 0;
}

int set_parameters(void* instance, const codec_parameters* parameters, uint32_t mask)
{
    if (parameters == nullptr)
        return error_invalid_parameters;
    mpeg::codec_parameters p;
    p.channel_mode = static_cast<int>(parameters->channel_mode);
    p.downsampling = static_cast<int>(parameters->downsampling);
    p.equalizer = parameters->equalizer;
    return of(instance).set_parameters(p, static_cast<int>(mask));
}

int get_parameters(void* instance, codec_parameters* parameters, uint32_t mask)
{
    if (parameters == nullptr)
        return error_invalid_parameters;
    mpeg::codec_parameters p;
    p.equalizer = parameters->equalizer;
    int r = of(instance).get_parameters(p, static_cast<int>(mask));
    if (mask & codec_parameter_channel_mode)
        parameters->channel_mode = static_cast<uint32_t>(p.channel_mode);
    if (mask & codec_parameter_downsampling)
        parameters->downsampling = static_cast<uint32_t>(p.downsampling);
    return r;
}

} // namespace

extern "C" int mpeg_codec_module_register(codec_module* t)
{
    if (t == nullptr)
        return error_invalid_parameters;
    *t = codec_module{};
    t->version = module_interface_version;
    t->probe = probe;
    t->query = query;
    t->new_instance = new_instance;
    t->delete_instance = delete_instance;
    t->decode = decode;
    t->prepare = prepare;
    t->offset_to_ratio = offset_to_ratio;
    t->ratio_to_offset = ratio_to_offset;
    t->reset = reset;
    t->reposition = reposition;
    t->flush = flush;
    t->set_parameters = set_parameters;
    t->get_parameters = get_parameters;
    return 0;
}
