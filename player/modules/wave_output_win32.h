// The wave output's instance, and what its methods, its device handling and
// its mixer share.
#pragma once

#include "melvox_modules.h"
#include "wave_device_win32.h"
#include "wave_volume.h"

#include <array>
#include <cstdint>

namespace melvox::wave {

constexpr int ring_size = 48;
constexpr uint32_t output_caps = 0x7fffff;      // includes output_caps_reports_delay
constexpr DWORD normal_playback_rate = 0x10000; // 16.16 fixed point
constexpr const char* playback_rate_variable = "OUTPUT.WAVE.PLAYBACK-RATE";

// One block of the ring that the codec decodes into and the device plays.
struct ring_block {
    WAVEHDR header{};
    uint32_t capacity = 0;        // bytes allocated at header.lpData
    uint32_t prepared_length = 0; // header length when it was prepared
    bool in_flight = false;       // queued and not yet seen done
};

// The speaker volume control of the device's mixer.
struct mixer_volume {
    DWORD control = 0;
    DWORD minimum = 0;
    DWORD maximum = 0;
    DWORD steps = 0;
};

struct wave_output {
    const module_entry* entry = nullptr;
    decoder* owner = nullptr;
    const device_api* api = nullptr;
    UINT device = WAVE_MAPPER; // the system's default device
    HWAVEOUT handle = nullptr;
    HMIXER mixer = nullptr;
    mixer_volume volume_control;
    std::array<ring_block, ring_size> ring;
    int position = 0;     // next block of the ring
    uint32_t written = 0; // samples queued since the device was opened or reset
    uint32_t rate = 0;    // format of the open device
    uint32_t channels = 0;
    double balance = 0.5;
    uint32_t saved_volume = full_volume; // what the device plays at when not muted
    bool muted = false;
    bool paused = false;
    uint32_t caps = output_caps;
    void* rate_watcher = nullptr;
};

// A message through the decoder: level 0 for failures.
void report(const wave_output* o, int level, const char* message, const char* detail = "");

// Opens the device for 16-bit PCM of rate and channels; nothing happens when
// it is open in that format already, and another format closes it first.
// Waits out a busy device for a while. Returns 0 or the error code.
int open_device(wave_output* o, uint32_t rate, uint32_t channels);
// Lets everything queued play out, then closes the device.
void close_device(wave_output* o);
// Waits (10 s at most) until the device is done with a queued block.
void wait_for(wave_output* o, ring_block& block);
void wait_for_all(wave_output* o);
// Sets the device's playback rate from the environment; when the variable
// is unset, to normal speed unless only_when_set.
void apply_playback_rate(wave_output* o, bool only_when_set);

// Opens the mixer of the open device and finds its speaker volume control;
// 0, or the system's error number with the mixer closed.
MMRESULT open_mixer(wave_output* o);
void close_mixer(wave_output* o);
// Master level in percent through the mixer's volume control.
void set_master_level(wave_output* o, uint32_t level);
// False when the mixer cannot be read.
bool read_master_level(const wave_output* o, uint32_t* level);

int set_control(void* instance, const output_control* control, uint32_t mask);
int get_control(void* instance, output_control* control, uint32_t mask);

} // namespace melvox::wave
