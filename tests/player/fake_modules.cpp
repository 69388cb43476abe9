#include "fake_modules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

MemoryInput memoryInput;
RecordingOutput recordingOutput;
ScriptedCodec scriptedCodec;

void resetFakeModules()
{
    memoryInput = MemoryInput{};
    recordingOutput = RecordingOutput{};
    scriptedCodec = ScriptedCodec{};
}

namespace {

void describe(module_info* info, int flags, const char* name)
{
    if (flags & query_module_name) {
        std::snprintf(info->name, sizeof info->name, "%s", name);
        std::snprintf(info->description, sizeof info->description, "test module");
    }
    if (flags & query_device_count)
        info->index = 1;
    if (flags & query_device) {
        info->flags = device_is_pattern;
        std::snprintf(info->name, sizeof info->name, "*");
    }
}

// ---- Memory input -----------------------------------------------------------

struct MemoryInstance {
    uint32_t position = 0;
};

int inputProbe(const char*)
{
    return 0;
}
int inputQuery(module_info* info, int flags)
{
    describe(info, flags, "Memory Input");
    return 0;
}
int inputNew(void** instance, const char*, const module_entry*, decoder*)
{
    *instance = new MemoryInstance;
    return 0;
}
int inputDelete(void* instance)
{
    delete static_cast<MemoryInstance*>(instance);
    ++memoryInput.deletes;
    return 0;
}
int inputOpen(void* instance)
{
    static_cast<MemoryInstance*>(instance)->position = 0;
    ++memoryInput.opens;
    return 0;
}
int inputClose(void*)
{
    ++memoryInput.closes;
    return 0;
}
int32_t inputRead(void* instance, void* buffer, uint32_t size)
{
    auto m = static_cast<MemoryInstance*>(instance);
    uint32_t left = static_cast<uint32_t>(memoryInput.bytes.size()) -
                    std::min<uint32_t>(m->position, memoryInput.bytes.size());
    uint32_t n = std::min(size, left);
    if (memoryInput.largestRead != 0)
        n = std::min(n, memoryInput.largestRead);
    std::memcpy(buffer, memoryInput.bytes.data() + m->position, n);
    m->position += n;
    return static_cast<int32_t>(n);
}
int inputSeek(void* instance, uint32_t offset)
{
    if (!memoryInput.seekable)
        return -1;
    memoryInput.seeks.push_back(offset);
    static_cast<MemoryInstance*>(instance)->position = offset;
    return 0;
}
uint32_t inputCaps(void*)
{
    return memoryInput.seekable ? input_caps_seekable : 0;
}
uint32_t inputSize(void*)
{
    return memoryInput.reportSize ? static_cast<uint32_t>(memoryInput.bytes.size()) : 0;
}

// ---- Recording output -----------------------------------------------------

int outputNew(void** instance, const char*, const module_entry*, decoder*)
{
    *instance = &recordingOutput;
    return 0;
}
int outputDelete(void*)
{
    ++recordingOutput.deletes;
    return 0;
}
int outputOpen(void*)
{
    ++recordingOutput.opens;
    return 0;
}
int outputClose(void*)
{
    ++recordingOutput.closes;
    return 0;
}
int outputWrite(void*, const void* buffer, uint32_t bytes, int, int, int)
{
    auto b = static_cast<const uint8_t*>(buffer);
    recordingOutput.written.insert(recordingOutput.written.end(), b, b + bytes);
    recordingOutput.writeSizes.push_back(bytes);
    return 0;
}
int outputSetControl(void*, const output_control* c, uint32_t mask)
{
    recordingOutput.controls.push_back({mask, *c});
    return recordingOutput.controlResult;
}
int outputStatus(void*, uint32_t* delay)
{
    *delay = recordingOutput.delayMs;
    return 0;
}
uint32_t outputCaps(void*)
{
    return recordingOutput.caps;
}
int outputQuery(module_info* info, int flags)
{
    describe(info, flags, "Recording Output");
    return 0;
}

// ---- Scripted codec ---------------------------------------------------------

struct CodecInstance {
    decoder* owner;
    uint32_t frame = 0;
};

int codecProbe(const char*, const char*)
{
    return 0;
}
int codecQuery(codec_module_info* info, int flags)
{
    describe(&info->info, flags, "Scripted Codec");
    if (flags & query_largest_frame)
        info->largest_frame_bytes = 65536;
    return 0;
}
int codecNew(void** instance, const char*, const char*, const module_entry*, decoder* d)
{
    *instance = new CodecInstance{d};
    return 0;
}
int codecDelete(void* instance)
{
    delete static_cast<CodecInstance*>(instance);
    ++scriptedCodec.deletes;
    return 0;
}
int codecDecode(void* instance, pcm_frame* frame, stream_info*)
{
    auto c = static_cast<CodecInstance*>(instance);
    if (scriptedCodec.decodeResult != 0)
        return scriptedCodec.decodeResult;
    std::vector<uint8_t> bytes(scriptedCodec.bytesPerFrame);
    if (int r = c->owner->services.input_read(c->owner, bytes.data(), scriptedCodec.bytesPerFrame); r < 0)
        return r;
    auto samples = static_cast<int16_t*>(frame->buffer);
    for (uint32_t i = 0; i < scriptedCodec.samplesPerFrame * scriptedCodec.channels; ++i)
        samples[i] = static_cast<int16_t>(c->frame * 1000 + i);
    ++c->frame;
    frame->samples_per_channel = scriptedCodec.samplesPerFrame;
    frame->channels = scriptedCodec.channels;
    frame->sample_rate = scriptedCodec.sampleRate;
    frame->bytes_per_sample = 2;
    return 0;
}
int codecPrepare(void*, stream_info* info)
{
    info->mime_type = "audio/x-test";
    info->duration_ms = scriptedCodec.durationMs;
    info->sample_rate = scriptedCodec.sampleRate;
    info->bitrate = scriptedCodec.bitrate;
    info->channels = scriptedCodec.channels;
    info->flags |= stream_type_changed | stream_format_changed;
    return 0;
}
float codecOffsetToRatio(void*, uint32_t offset)
{
    return offset / 2000000.0f;
}
float codecRatioToOffset(void*, float ratio)
{
    return ratio / 2;
}
int codecReset(void*)
{
    ++scriptedCodec.resets;
    return 0;
}
int codecReposition(void*, uint32_t offset)
{
    scriptedCodec.repositions.push_back(offset);
    return 0;
}
int codecSetParameters(void*, const codec_parameters* p, uint32_t mask)
{
    scriptedCodec.lastParameters = *p;
    scriptedCodec.lastParameterMask = mask;
    return 0;
}

} // namespace

extern "C" int memory_input_register(input_module* t)
{
    *t = input_module{module_interface_version,
                      inputProbe,
                      inputQuery,
                      inputNew,
                      inputDelete,
                      inputOpen,
                      inputClose,
                      inputRead,
                      inputSeek,
                      inputCaps,
                      inputSize,
                      nullptr};
    return 0;
}

extern "C" int recording_output_register(output_module* t)
{
    *t = output_module{module_interface_version,
                       inputProbe,
                       outputQuery,
                       outputNew,
                       outputDelete,
                       outputOpen,
                       outputClose,
                       outputWrite,
                       nullptr,
                       outputSetControl,
                       nullptr,
                       outputStatus,
                       outputCaps,
                       nullptr};
    return 0;
}

extern "C" int scripted_codec_register(codec_module* t)
{
    *t = codec_module{};
    t->version = module_interface_version;
    t->probe = codecProbe;
    t->query = codecQuery;
    t->new_instance = codecNew;
    t->delete_instance = codecDelete;
    t->decode = codecDecode;
    t->prepare = codecPrepare;
    if (scriptedCodec.mapsRatio) {
        t->offset_to_ratio = codecOffsetToRatio;
        t->ratio_to_offset = codecRatioToOffset;
    }
    t->reset = codecReset;
    t->reposition = codecReposition;
    t->set_parameters = codecSetParameters;
    return 0;
}
