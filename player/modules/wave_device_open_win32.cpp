// Opening and closing the wave-out device, and waiting for the blocks that
// it plays.
#include "wave_output_win32.h"

#include <cstdlib>

namespace melvox::wave {
namespace {

constexpr int open_attempts = 10; // a busy device is asked again this often
constexpr DWORD busy_wait_ms = 50;
constexpr int done_polls = 1000;
constexpr DWORD done_poll_ms = 10;

int error_of(MMRESULT r)
{
    switch (r) {
    case MMSYSERR_ALLOCATED: return error_device_busy;
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_NODRIVER: return error_no_such_device_name;
    default: return error_open_failed;
    }
}

// Takes the balance and the volume to restore on unmute from the device.
// A muted output keeps its own: the device's volume is its silence.
void adopt_device_volume(wave_output* o)
{
    if (o->muted) {
        o->api->set_volume(o->handle, 0);
        return;
    }
    DWORD volume = 0;
    if (o->api->get_volume(o->handle, &volume) != MMSYSERR_NOERROR || volume == 0) {
        o->balance = 0.5;
        return;
    }
    o->saved_volume = volume;
    o->balance = balance_of(volume);
}

} // namespace

int open_device(wave_output* o, uint32_t rate, uint32_t channels)
{
    if (o->handle != nullptr && o->rate == rate && o->channels == channels)
        return 0;
    close_device(o);

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = rate * channels * 2;

    HWAVEOUT handle = nullptr;
    MMRESULT r = MMSYSERR_ALLOCATED;
    for (int attempt = 0; attempt < open_attempts && r == MMSYSERR_ALLOCATED; ++attempt) {
        r = o->api->open(&handle, o->device, &format, 0, 0, CALLBACK_NULL | WAVE_ALLOWSYNC);
        if (r == MMSYSERR_ALLOCATED)
            o->api->sleep(busy_wait_ms);
    }
    if (r != MMSYSERR_NOERROR)
        return error_of(r);

    o->handle = handle;
    o->rate = rate;
    o->channels = channels;
    adopt_device_volume(o);
    apply_playback_rate(o, true); // a rate set before the device opened
    return 0;
}

void wait_for(wave_output* o, ring_block& block)
{
    for (int polls = 0; block.in_flight && !(block.header.dwFlags & WHDR_DONE) && polls < done_polls; ++polls)
        o->api->sleep(done_poll_ms);
    block.in_flight = false;
    block.header.dwFlags &= ~WHDR_DONE;
}

void wait_for_all(wave_output* o)
{
    for (ring_block& block : o->ring)
        wait_for(o, block);
}

void close_device(wave_output* o)
{
    if (o->handle == nullptr)
        return;
    if (o->paused) {
        o->api->restart(o->handle);
        o->paused = false;
    }
    for (ring_block& block : o->ring)
        if (block.header.dwFlags & WHDR_PREPARED)
            wait_for(o, block);
    o->api->reset(o->handle);
    o->written = 0;
    for (ring_block& block : o->ring) {
        if (block.header.dwFlags & WHDR_PREPARED)
            o->api->unprepare(o->handle, &block.header, sizeof block.header);
        block.header.dwFlags = 0;
        block.in_flight = false;
    }
    o->api->close(o->handle);
    o->handle = nullptr;
    o->rate = o->channels = 0;
}

void apply_playback_rate(wave_output* o, bool only_when_set)
{
    if (o->handle == nullptr)
        return;
    decoder_services& s = o->owner->services;
    int32_t value = 0;
    char text[32];
    if (s.environment_get_integer(o->owner, playback_rate_variable, &value) == 0)
        o->api->set_playback_rate(o->handle, static_cast<DWORD>(value));
    else if (s.environment_get_string(o->owner, playback_rate_variable, text, sizeof text) == 0)
        o->api->set_playback_rate(o->handle, static_cast<DWORD>(std::strtoul(text, nullptr, 0))); // "0x8000": half
    else if (!only_when_set)
        o->api->set_playback_rate(o->handle, normal_playback_rate);
}

} // namespace melvox::wave
