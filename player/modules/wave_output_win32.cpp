// The wave output module: the Windows build's sound device. It plays 16-bit
// PCM through winmm's wave-out interface from a ring of 48 blocks that the
// codec decodes into directly, sets the speaker volume through the device's
// mixer, applies PCM level and balance through the wave-out volume, reports
// how much audio is still queued, and follows "OUTPUT.WAVE.PLAYBACK-RATE".
#include "builtin_modules.h"
#include "wave_output_win32.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace melvox::wave {
namespace {

constexpr const char* name_prefix = "/dev/wave/";
constexpr size_t name_length = 11; // the prefix and one digit

wave_output* of(void* instance)
{
    return static_cast<wave_output*>(instance);
}

int probe(const char* name)
{
    if (name == nullptr || name[0] == '\0' || std::strncmp(name, name_prefix, std::strlen(name_prefix)) == 0)
        return 0;
    return error_unsupported_output_type;
}

// Device 0 is the default device (the wave mapper), device i the system's
// device i - 1.
int query(module_info* info, int flags)
{
    if (info == nullptr)
        return error_invalid_parameters;
    const device_api& api = current_device_api();
    if (flags & query_module_name) {
        std::snprintf(info->name, sizeof info->name, "%s", "Win32 Sound Driver Interface");
        std::snprintf(info->description, sizeof info->description, "%s", "Version 1.3");
        info->flags = 0;
    }
    if (flags & query_device_count)
        info->index = api.get_device_count() + 1;
    if (flags & query_device) {
        uint32_t i = info->index;
        if (i > api.get_device_count())
            return error_invalid_parameters;
        WAVEOUTCAPSA caps{};
        if (api.get_device_caps(i == 0 ? WAVE_MAPPER : i - 1, &caps, sizeof caps) != MMSYSERR_NOERROR)
            return error_no_such_device_name;
        std::snprintf(info->name, sizeof info->name, "%s%u", name_prefix, i);
        std::snprintf(info->description, sizeof info->description, "%.*s", static_cast<int>(sizeof caps.szPname),
                      caps.szPname);
        info->flags = i == 0 ? device_is_default : 0;
    }
    return 0;
}

void playback_rate_changed(void* user_data, const char*, const void* value)
{
    wave_output* o = of(user_data);
    if (value == nullptr) {
        if (o->handle != nullptr)
            o->api->set_playback_rate(o->handle, normal_playback_rate); // unset: normal speed again
        return;
    }
    apply_playback_rate(o, true);
}

void free_blocks(wave_output* o)
{
    for (ring_block& block : o->ring) {
        delete[] block.header.lpData;
        block = ring_block{};
    }
}

int new_instance(void** instance, const char* name, const module_entry* entry, decoder* d)
{
    if (instance == nullptr || d == nullptr)
        return error_invalid_parameters;
    UINT device = WAVE_MAPPER;
    if (name != nullptr && name[0] != '\0') {
        // The last character picks the device: '0' the default, '1' the first.
        char digit = name[std::strlen(name) - 1];
        if (std::strlen(name) != name_length || digit < '0' || digit > '9')
            return error_no_such_device_name;
        if (digit != '0')
            device = static_cast<UINT>(digit - '1');
    }
    auto o = new (std::nothrow) wave_output{};
    if (o == nullptr)
        return error_out_of_memory;
    o->entry = entry;
    o->owner = d;
    o->api = &current_device_api();
    o->device = device;
    if (int r = d->services.environment_watch(d, playback_rate_variable, playback_rate_changed, o, &o->rate_watcher);
        r < 0) {
        delete o;
        return r;
    }
    *instance = o;
    return 0;
}

int close(void* instance)
{
    wave_output* o = of(instance);
    close_device(o);
    close_mixer(o);
    return 0;
}

int delete_instance(void* instance)
{
    wave_output* o = of(instance);
    if (o == nullptr)
        return 0;
    close(o);
    o->owner->services.environment_unwatch(o->owner, o->rate_watcher);
    free_blocks(o);
    delete o;
    return 0;
}

int open(void* instance)
{
    wave_output* o = of(instance);
    close(o);
    o->position = 0;
    o->written = 0;
    o->paused = o->muted = false;
    o->balance = 0.5;
    o->saved_volume = full_volume;
    o->caps = output_caps;
    for (ring_block& block : o->ring) { // the blocks themselves are kept for reuse
        block.header.dwFlags = 0;
        block.in_flight = false;
    }
    if (int r = open_device(o, 44100, 2); r < 0)
        return r;
    if (MMRESULT r = open_mixer(o); r != MMSYSERR_NOERROR) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", static_cast<int>(r));
        report(o, 0, "cannot open mixer", number);
    }
    return 0;
}

void unprepare(wave_output* o, ring_block& block)
{
    if ((block.header.dwFlags & WHDR_PREPARED) && o->handle != nullptr)
        o->api->unprepare(o->handle, &block.header, sizeof block.header);
    block.header.dwFlags = 0;
}

// Puts data of size bytes (or none) in place of the block's own, which the
// device is first told to let go of.
void replace_data(wave_output* o, ring_block& block, char* data, uint32_t size)
{
    unprepare(o, block);
    delete[] block.header.lpData;
    block.header.lpData = data;
    block.header.dwBufferLength = size;
    block.capacity = size;
}

void* get_buffer(void* instance, uint32_t size)
{
    wave_output* o = of(instance);
    ring_block& block = o->ring[o->position];
    if (block.header.dwFlags & WHDR_PREPARED)
        wait_for(o, block);
    if (block.header.lpData != nullptr && block.capacity >= size)
        return block.header.lpData;
    auto* fresh = new (std::nothrow) char[size];
    replace_data(o, block, fresh, fresh != nullptr ? size : 0);
    return fresh;
}

int write(void* instance, const void* buffer, uint32_t bytes, int bytes_per_sample, int channels, int)
{
    wave_output* o = of(instance);
    if (o == nullptr || buffer == nullptr)
        return error_invalid_parameters;
    if (o->handle == nullptr)
        return error_write_failed; // no device open to play to
    if (bytes == 0)
        return 0;
    ring_block& block = o->ring[o->position];
    if (block.header.dwFlags & WHDR_PREPARED)
        wait_for(o, block);
    if (buffer != block.header.lpData) {
        // A block of the caller's own (an output filter's, say): copied into
        // the ring, since the device plays from there.
        if (block.capacity < bytes) {
            auto* fresh = new (std::nothrow) char[bytes];
            if (fresh == nullptr)
                return error_out_of_memory;
            std::memcpy(fresh, buffer, bytes);
            replace_data(o, block, fresh, bytes);
        } else {
            std::memmove(block.header.lpData, buffer, bytes);
        }
    }
    bytes = std::min(bytes, block.capacity);
    if ((block.header.dwFlags & WHDR_PREPARED) && bytes > block.prepared_length)
        unprepare(o, block); // prepared for a shorter block
    block.header.dwBufferLength = bytes;
    if (!(block.header.dwFlags & WHDR_PREPARED)) {
        block.header.dwFlags = 0;
        if (o->api->prepare(o->handle, &block.header, sizeof block.header) != MMSYSERR_NOERROR)
            return error_write_failed;
        block.prepared_length = bytes;
    }
    block.in_flight = true;
    if (o->api->write(o->handle, &block.header, sizeof block.header) != MMSYSERR_NOERROR) {
        block.in_flight = false;
        return error_write_failed;
    }
    uint32_t frame_bytes = static_cast<uint32_t>(bytes_per_sample) * static_cast<uint32_t>(channels);
    if (bytes_per_sample <= 0 || channels <= 0)
        frame_bytes = o->channels * 2; // the device's own format
    if (frame_bytes != 0)
        o->written += bytes / frame_bytes;
    o->position = (o->position + 1) % ring_size;
    return 0;
}

// Milliseconds of audio queued and not yet played.
int get_status(void* instance, uint32_t* delay)
{
    const wave_output* o = of(instance);
    if (delay == nullptr)
        return error_invalid_parameters;
    *delay = 0;
    if (o->handle == nullptr || o->rate == 0)
        return 0;
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (o->api->get_position(o->handle, &time, sizeof time) != MMSYSERR_NOERROR)
        return 0;
    uint32_t played = 0;
    if (time.wType == TIME_SAMPLES)
        played = time.u.sample;
    else if (time.wType == TIME_BYTES && o->channels != 0)
        played = time.u.cb / (o->channels * 2);
    else
        return 0;
    auto queued = static_cast<int32_t>(o->written - played); // both count on past 2^32 alike
    if (queued > 0)
        *delay = static_cast<uint32_t>(static_cast<uint64_t>(queued) * 1000 / o->rate);
    return 0;
}

uint32_t get_caps(void* instance)
{
    return of(instance)->caps;
}

} // namespace

void report(const wave_output* o, int level, const char* message, const char* detail)
{
    const decoder_services& s = o->owner->services;
    s.report_message(s.report_data, o->entry != nullptr ? o->entry->id : 0, level, message, detail);
}

} // namespace melvox::wave

extern "C" int wave_output_module_register(output_module* t)
{
    using namespace melvox::wave;
    if (t == nullptr)
        return error_invalid_parameters;
    t->version = module_interface_version;
    t->probe = probe;
    t->query = query;
    t->new_instance = new_instance;
    t->delete_instance = delete_instance;
    t->open = open;
    t->close = close;
    t->write = write;
    t->get_buffer = get_buffer;
    t->set_control = set_control;
    t->get_control = get_control;
    t->get_status = get_status;
    t->get_caps = get_caps;
    return 0;
}
