#include "codec_fuzz_harness.h"

#include "decoder/decoder.h"
#include "decoder/module_system.h"
#include "modules/builtin_modules.h"
#include "decoder/pipeline.h"

#include <cstring>
#include <vector>

namespace {

const uint8_t* bytes = nullptr;
size_t length = 0;

struct position {
    size_t at = 0;
};

class null_channel final : public melvox::decoder_channel {
public:
    int post(const player_message&) override { return 0; }
    int receive(player_message&, long long) override { return error_timeout; }
    int post_to_feedback(const player_message&) override { return 0; }
    void end_feedback(int) override {}
};

int probe(const char*)
{
    return 0;
}
int make(void** instance, const char*, const module_entry*, decoder*)
{
    *instance = new position;
    return 0;
}
int destroy(void* instance)
{
    delete static_cast<position*>(instance);
    return 0;
}
int open(void* instance)
{
    static_cast<position*>(instance)->at = 0;
    return 0;
}
int close(void*)
{
    return 0;
}
int32_t read(void* instance, void* buffer, uint32_t size)
{
    auto p = static_cast<position*>(instance);
    if (p->at > length || length - p->at < size)
        return 0;
    std::memcpy(buffer, bytes + p->at, size);
    p->at += size;
    return static_cast<int32_t>(size);
}
int seek(void* instance, uint32_t offset)
{
    static_cast<position*>(instance)->at = offset;
    return 0;
}
uint32_t caps(void*)
{
    return input_caps_seekable;
}
uint32_t size(void*)
{
    return static_cast<uint32_t>(length);
}

int memory_input(input_module* t)
{
    *t = input_module{
        module_interface_version, probe, nullptr, make, destroy, open, close, read, seek, caps, size, nullptr};
    return 0;
}

} // namespace

void fuzzCodec(const uint8_t* data, size_t size, const CodecFuzzRun& run)
{
    bytes = data;
    length = size;
    null_channel channel;
    melvox::player_decoder d(channel);
    melvox::register_input_module(d, memory_input);
    melvox::register_codec_module(d, run.registerCodec);
    if (melvox::input_new(d, run.fileName, -1) < 0 || melvox::input_open(d) < 0)
        return;
    const codec_module& codec = d.codec.entry->table.codec;
    std::vector<uint8_t> pcm(d.codec.largest_frame_bytes);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < run.framesPerPass; ++i) {
            pcm_frame frame{};
            frame.buffer = pcm.data();
            int r = codec.decode(d.codec.instance, &frame, &d.stream.info);
            if (r == error_invalid_frame && run.skipDamagedFrames)
                continue; // a damaged frame: decoding goes on with the next
            if (r < 0)
                break;
            // Whatever the header said, a block stays within the buffer.
            if (size_t{frame.samples_per_channel} * frame.channels * 2 > pcm.size())
                __builtin_trap();
        }
        melvox::seek_ratio(d, 0.5f);
    }
}
