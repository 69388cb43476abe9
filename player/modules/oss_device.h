// The OSS output's instance, and what its open and its other methods share.
#pragma once

#include "melvox_modules.h"
#include "oss_samples.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace melvox::oss {

// Output caps: the mixer's controls, the device's, and the formats offered.
constexpr uint32_t mixer_caps = 0x7;
constexpr uint32_t device_caps = 0x5c7fc0;
constexpr uint32_t caps_u8 = 0x8000, caps_mu_law = 0x10000, caps_16bit = 0x20000;

struct oss_output {
    std::string name;
    const module_entry* entry = nullptr;
    decoder* owner = nullptr;
    int device = -1;
    int mixer = -1;
    uint32_t pcm_volume = 0; // left in the low byte, right in the next, 0..100 each
    float pcm_balance = 0.5f;
    uint32_t master_volume = 0;
    float master_balance = 0.5f;
    bool muted = false;
    uint32_t caps = 0;
    bool byte_swap = false;
    bool trigger = false;
    int32_t countdown = 0; // bytes to queue before output starts; -1 once started
    int format16 = format_s16_le;
    int format8 = format_u8;
    int playing_format = format_s16_le; // what the device takes now
    bool offers_16bit = true;
    std::vector<uint8_t> block; // samples converted for the device
};

// Messages through the decoder: level 0 for failures, 1 for information.
void report(const oss_output* o, int level, const std::string& message, const char* detail = "");
// A failure with the system's error text as its detail.
void report_failure(const oss_output* o, const std::string& message);
std::string with_name(const char* pattern, const char* name);

// The format the device now plays; 16-bit samples in the other byte order
// than this machine's are swapped on their way out.
void set_playing_format(oss_output* o, int format);

// Opens the mixer (when there is one) and the audio device, asks for
// fragments, sets up the trigger and the best sample format. On failure
// returns the error code with both closed.
int open_device(oss_output* o);
void close_device(oss_output* o);
// Starts output held back by the trigger.
void start_output(oss_output* o);

// Volume words: left in the low byte, right in the next, 0..100 each.
inline int left_of(uint32_t volume)
{
    return static_cast<int>(volume & 0xff);
}

inline int right_of(uint32_t volume)
{
    return static_cast<int>((volume >> 8) & 0xff);
}

// right / (left + right); centred when both are 0.
inline float balance_of(uint32_t volume)
{
    int sum = left_of(volume) + right_of(volume);
    return sum == 0 ? 0.5f : static_cast<float>(right_of(volume)) / static_cast<float>(sum);
}

inline int level_of(uint32_t volume)
{
    return std::max(left_of(volume), right_of(volume));
}

// A level split between the channels: the side that the balance leans away
// from is turned down.
inline uint32_t split(int level, float balance)
{
    int left = level, right = level;
    if (balance <= 0.5f)
        right = static_cast<int>(2 * balance * static_cast<float>(level));
    else
        left = static_cast<int>(2 * (1 - balance) * static_cast<float>(level));
    return static_cast<uint32_t>(left) | static_cast<uint32_t>(right) << 8;
}

} // namespace melvox::oss
