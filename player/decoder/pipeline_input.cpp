// The input side of the pipeline: instance, open and close with the codec
// selection, seeking and the all-or-nothing read.
#include "decoder/module_system.h"
#include "decoder/pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace melvox {
namespace {

input_filter_node* head(player_decoder& d)
{
    return d.input_chain.head();
}

void clear_stream(player_decoder& d)
{
    d.stream.ratio = 0;
    d.stream.time = {};
    d.stream.info = stream_info{};
    d.stream.info.properties = &d.properties;
    d.stream.mime_type.clear();
    d.properties.clear();
    d.played = {};
    d.input.caps = 0;
    d.input.position = 0;
    d.input.size = 0;
    d.input_instance.mime_type = "unknown";
    d.input_instance.read_ahead.clear();
    d.sent.duration_seconds = 0;
    d.sent.position = 0;
    d.sent.time = {};
    d.sent.feedback_time = {};
    d.sent.feedback_position = 0;
}

// Reads up to size bytes through the input chain: a module that delivers
// part of a block is asked for the rest. got tells the bytes read, fewer
// than size at the end of the input; the result is 0, or the error of the
// read that stopped early (the bytes before it are in got all the same).
int read_chain(player_decoder& d, uint8_t* bytes, uint32_t size, uint32_t& got)
{
    got = 0;
    while (got < size) {
        int32_t r = head(d)->table.read(head(d), bytes + got, size - got);
        if (r < 0)
            return r;
        if (r == 0)
            break;
        got += std::min(static_cast<uint32_t>(r), size - got);
    }
    return 0;
}

// A stream whose type no module told is recognised by its first bytes, when
// the input has them at once: a RIFF WAVE header makes it a WAVE stream
// whatever its name. Where no bytes come (a network stream still filling
// its buffer) the codecs go by the name alone. The bytes are read one at a
// time, so that an input that delivers whole blocks or nothing loses none of
// a stream shorter than the header.
void recognise_stream(player_decoder& d)
{
    if (d.input_instance.mime_type != "unknown")
        return;
    std::vector<uint8_t>& first = d.input_instance.read_ahead;
    first.clear();
    for (size_t wanted = 4; first.size() < wanted;) {
        uint8_t byte;
        uint32_t got;
        if (read_chain(d, &byte, 1, got) < 0 || got != 1)
            return;
        first.push_back(byte);
        if (first.size() == 4 && std::memcmp(first.data(), "RIFF", 4) == 0)
            wanted = 12;
    }
    if (first.size() == 12 && std::memcmp(first.data() + 8, "WAVE", 4) == 0)
        d.input_instance.mime_type = "audio/x-wav";
}

// Makes (or keeps) the codec instance for the open input.
int select_codec(player_decoder& d)
{
    const char* mime = d.input_instance.mime_type.c_str();
    const module_entry* e;
    if (int r = select_codec_module(d, mime, d.input_instance.name.c_str(), d.settings.codec_module, &e); r < 0)
        return r;
    if (e == d.codec.entry && d.codec.instance != nullptr)
        return 0;
    d.codec.release();
    const codec_module& c = e->table.codec;
    void* instance = nullptr;
    if (int r = c.new_instance(&instance, mime, d.input_instance.name.c_str(), e, &d); r < 0)
        return r;
    codec_module_info info{};
    int r = c.query(&info, query_largest_frame | query_capabilities);
    if (r < 0 || info.largest_frame_bytes == 0) {
        // Without a frame size there is no buffer that the codec may fill.
        c.delete_instance(instance);
        d.report(0, "internal error", "codec gives no frame size");
        return r < 0 ? r : error_internal;
    }
    d.codec.instance = instance;
    d.codec.entry = e;
    d.codec.largest_frame_bytes = info.largest_frame_bytes;
    d.codec.capabilities = info.info.flags;
    if (d.scratch.size() < d.codec.largest_frame_bytes) {
        d.scratch.clear();
        d.scratch.shrink_to_fit();
    }
    apply_codec_parameters(d, codec_parameter_channel_mode | codec_parameter_downsampling | codec_parameter_equalizer);
    return 0;
}

} // namespace

int apply_codec_parameters(player_decoder& d, uint32_t mask)
{
    if (d.codec.instance == nullptr || d.codec.entry->table.codec.set_parameters == nullptr)
        return 0;
    std::array<int8_t, 64> bands{};
    codec_parameters p{};
    p.channel_mode = d.codec_parameters.channel_mode;
    p.downsampling = d.codec_parameters.downsampling;
    if (d.codec_parameters.equalizer) {
        bands = *d.codec_parameters.equalizer;
        p.equalizer = bands.data();
    }
    return d.codec.entry->table.codec.set_parameters(d.codec.instance, &p, mask);
}

int input_new(player_decoder& d, const char* name, int module_id)
{
    if (name == nullptr)
        name = "";
    const module_entry* e;
    if (int r = select_input_module(d, name, module_id, &e); r < 0)
        return r;
    if (e == d.input.entry && d.input.instance != nullptr && d.input_instance.name == name)
        return 0;
    if (d.input_is_open())
        input_close(d);
    d.input_instance.release();
    void* instance = nullptr;
    if (int r = e->table.input.new_instance(&instance, name, e, &d); r < 0)
        return r;
    d.input.instance = instance;
    d.input.entry = e;
    d.input_instance.name = name;
    return 0;
}

int input_open(player_decoder& d)
{
    if (d.input_is_open())
        return d.internal_error("input not closed");
    if (d.input.instance == nullptr)
        return d.internal_error("null input module");
    clear_stream(d);
    if (int r = head(d)->table.open(head(d)); r < 0)
        return r;
    d.input.state = input_opened;
    if (d.input.size == 0)
        d.input.size = head(d)->table.get_size(head(d));
    d.input.caps = head(d)->table.get_caps(head(d));
    recognise_stream(d);
    int r = select_codec(d);
    if (r >= 0 && d.codec.entry->table.codec.reset != nullptr)
        r = d.codec.entry->table.codec.reset(d.codec.instance);
    if (r < 0) {
        input_close(d);
        return r;
    }
    if ((d.input.caps & input_caps_seekable) && d.codec.entry->table.codec.prepare != nullptr)
        d.codec.entry->table.codec.prepare(d.codec.instance, &d.stream.info);
    return 0;
}

int input_close(player_decoder& d)
{
    if (!d.input_is_open())
        return d.internal_error("input not open");
    d.input.caps = 0;
    d.input.position = 0;
    d.input.size = 0;
    d.input_instance.mime_type = "unknown";
    d.input_instance.read_ahead.clear();
    head(d)->table.close(head(d));
    d.input.state = input_closed;
    if (d.codec.instance != nullptr && d.codec.entry->table.codec.input_closed != nullptr)
        d.codec.entry->table.codec.input_closed(d.codec.instance);
    return 0;
}

void update_ratio(player_decoder& d)
{
    float ratio = 0;
    if (d.codec.instance != nullptr && d.codec.entry->table.codec.offset_to_ratio != nullptr)
        ratio = d.codec.entry->table.codec.offset_to_ratio(d.codec.instance, static_cast<uint32_t>(d.input.position));
    else if (d.input.size != 0)
        ratio = static_cast<float>(static_cast<double>(d.input.position) / static_cast<double>(d.input.size));
    if (!(ratio > 0))
        ratio = 0;
    d.stream.ratio = std::min(ratio, 1.0f);
}

int seek_ratio(player_decoder& d, float ratio)
{
    auto clamp = [](float r) { return !(r > 0) ? 0.0f : std::min(r, 1.0f); };
    ratio = clamp(ratio);
    if (d.codec.instance != nullptr && d.codec.entry->table.codec.ratio_to_offset != nullptr)
        ratio = clamp(d.codec.entry->table.codec.ratio_to_offset(d.codec.instance, ratio));
    if (!d.input_is_open())
        return d.internal_error("input not open");
    return seek_offset(d, static_cast<uint32_t>(static_cast<double>(d.input.size) * ratio));
}

int seek_offset(player_decoder& d, uint32_t offset)
{
    if (!d.input_is_open())
        return d.internal_error("input not open");
    if (d.input.size != 0 && offset > d.input.size)
        offset = static_cast<uint32_t>(d.input.size);
    if (int r = head(d)->table.seek(head(d), offset); r < 0)
        return r;
    d.input_instance.read_ahead.clear();
    d.input.position = offset;
    if (d.codec.instance != nullptr && d.codec.entry->table.codec.reposition != nullptr)
        d.codec.entry->table.codec.reposition(d.codec.instance, offset);
    update_ratio(d);
    double seconds = 0;
    if (d.stream.info.duration_ms != 0)
        seconds = d.stream.info.duration_ms * static_cast<double>(d.stream.ratio) * 0.001;
    else if (d.stream.info.bitrate != 0)
        seconds = static_cast<double>(d.input.position) / (d.stream.info.bitrate * 125.0);
    d.played = played_time_of_seconds(seconds);
    d.stream.time = timecode_of(d.played);
    return 0;
}

int read_input(player_decoder& d, void* buffer, uint32_t size)
{
    if (!d.input_is_open())
        return error_internal;
    if (size == 0)
        return 0;
    // The bytes read ahead come first; a block that cannot be completed is
    // the end of the input.
    auto bytes = static_cast<uint8_t*>(buffer);
    std::vector<uint8_t>& ahead = d.input_instance.read_ahead;
    uint32_t got = static_cast<uint32_t>(std::min<size_t>(ahead.size(), size));
    if (got > 0) {
        std::memcpy(bytes, ahead.data(), got);
        ahead.erase(ahead.begin(), ahead.begin() + got);
    }
    if (got < size) {
        uint32_t more;
        if (int r = read_chain(d, bytes + got, size - got, more); r < 0) {
            // Nothing is lost to a read that may be repeated (a timeout, a
            // command that came first), not even the part of the block that
            // had come.
            ahead.insert(ahead.begin(), bytes, bytes + got + more);
            return r;
        }
        got += more;
    }
    d.input.position += got;
    return got == size ? 0 : error_end_of_input_stream;
}

} // namespace melvox
