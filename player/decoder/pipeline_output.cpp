// The output side of the pipeline, and one decode step from codec to output.
#include "decoder/module_system.h"
#include "decoder/pipeline.h"

namespace melvox {
namespace {

output_filter_node* head(player_decoder& d)
{
    return d.output_chain.head();
}

// The buffer that the codec decodes into: the output's own when it hands
// one out, else the scratch buffer. Null when an output that hands out
// buffers has none.
uint8_t* frame_buffer(player_decoder& d, uint32_t size)
{
    void* given = head(d)->table.get_buffer(head(d), size);
    if (given != nullptr)
        return static_cast<uint8_t*>(given);
    if (d.output.module.entry->table.output.get_buffer != nullptr)
        return nullptr;
    if (d.scratch.size() < size)
        d.scratch.assign(size, 0);
    return d.scratch.data();
}

} // namespace

int output_new(player_decoder& d, const char* name, int module_id)
{
    if (name == nullptr)
        name = "";
    const module_entry* e;
    if (int r = select_output_module(d, name, module_id, &e); r < 0)
        return r;
    if (e == d.output.module.entry && d.output.module.instance != nullptr && d.output.name == name)
        return 0;
    if (d.output.open)
        output_close(d);
    d.output.release();
    void* instance = nullptr;
    if (int r = e->table.output.new_instance(&instance, name, e, &d); r < 0)
        return r;
    d.output.module = {instance, e};
    d.output.name = name;
    return 0;
}

int output_open(player_decoder& d)
{
    if (d.output.open)
        return d.internal_error("output not closed");
    if (d.output.module.instance == nullptr)
        return d.internal_error("null output instance");
    if (int r = head(d)->table.open(head(d)); r < 0)
        return r;
    // The first frame always announces its format.
    d.frame.bytes_per_sample = 0;
    d.frame.channels = 0;
    d.frame.sample_rate = 0;
    d.output.caps = head(d)->table.get_caps(head(d));
    d.output.open = true;
    return 0;
}

int output_close(player_decoder& d)
{
    if (!d.output.open)
        return d.internal_error("output not open");
    d.output.open = false;
    d.output.caps = 0;
    return head(d)->table.close(head(d));
}

int output_set_control(player_decoder& d, const output_control& control, uint32_t mask)
{
    if (!d.output.open)
        return d.internal_error("output not open");
    return head(d)->table.set_control(head(d), &control, mask);
}

int decode_step(player_decoder& d)
{
    if (!d.output.open)
        return d.internal_error("output not open");
    uint32_t capacity = d.codec.largest_frame_bytes;
    uint8_t* buffer = frame_buffer(d, capacity);
    if (buffer == nullptr)
        return error_out_of_memory;
    if (!d.input_is_open())
        return d.internal_error("input not open");
    if (d.codec.instance == nullptr)
        return error_no_codec_found;
    pcm_frame& f = d.frame;
    const uint32_t bytes_per_sample = f.bytes_per_sample, channels = f.channels, rate = f.sample_rate;
    f.buffer = buffer;
    f.bytes_per_sample = 2;
    d.stream.info.flags = 0;
    if (int r = d.codec.entry->table.codec.decode(d.codec.instance, &f, &d.stream.info); r < 0) {
        f.bytes_per_sample = bytes_per_sample;
        return r;
    }

    add_microseconds(d.played, frame_microseconds(f.samples_per_channel, f.sample_rate));
    update_ratio(d);
    d.stream.time = timecode_of(d.played);

    f.flags = 0;
    if (f.bytes_per_sample != bytes_per_sample)
        f.flags |= control_bytes_per_sample;
    if (f.channels != channels)
        f.flags |= control_channels | control_sample_rate; // outputs set the rate after the channels
    if (f.sample_rate != rate)
        f.flags |= control_sample_rate;
    if (f.flags != 0) {
        output_control c{};
        c.bytes_per_sample = f.bytes_per_sample;
        c.sample_rate = f.sample_rate;
        c.channels = f.channels;
        if (int r = head(d)->table.set_control(head(d), &c, f.flags); r == error_unsupported_output_type)
            return r;
    }
    f.delay_ms = 0;
    if ((d.output.caps & output_caps_reports_delay) && head(d)->table.get_status(head(d), &f.delay_ms) < 0)
        f.delay_ms = 0;

    uint64_t bytes = uint64_t{f.bytes_per_sample} * f.samples_per_channel * f.channels;
    if (bytes > capacity)
        return error_invalid_frame; // more than the codec may write: not passed on
    return head(d)->table.write(head(d), buffer, static_cast<uint32_t>(bytes), static_cast<int>(f.bytes_per_sample),
                                static_cast<int>(f.channels), static_cast<int>(f.sample_rate));
}

void close_everything(player_decoder& d)
{
    if (d.input_is_open())
        input_close(d);
    d.input_instance.release();
    if (d.output.open)
        output_close(d);
    d.output.release();
    d.codec.release();
}

} // namespace melvox
