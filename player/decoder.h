// The decoder side's own object: the per-player settings, the environment and
// what the decoder knows about its input, output and modules.
#pragma once

#include "channel.h"
#include "named_values.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace melvox {

// Settings held per player, with their defaults.
struct decoder_settings {
    int16_t input_module = -1; // -1: chosen by probing
    int16_t output_module = -1;
    int16_t codec_module = -1;
    uint32_t position_range = 400;
    uint32_t feedback_position_range = 400;
    uint32_t timecode_granularity = 100; // hundredths of a second
    uint8_t debug_level = 0;
    // 255: never set, nothing is sent to the device.
    uint8_t balance = 255;
    uint8_t pcm_level = 255;
    uint8_t master_level = 255;
    uint8_t output_ports = 255;
    uint32_t feedback_period_us = 0; // 0: no PCM feedback events
    uint32_t player_mode = 0;
    uint32_t notification_mask = 0xffffffffu;
    std::optional<std::string> input_name;
    std::optional<std::string> output_name;
};

struct codec_parameters {
    uint8_t channel_mode = 0;
    uint8_t downsampling = 0;
    std::optional<std::array<int8_t, 64>> equalizer;
};

} // namespace melvox

struct decoder {
    explicit decoder(melvox::decoder_channel& c) : channel(c) {}

    // Sends a notification to the caller when the notification mask lets it pass.
    int notify(const player_message& m);
    // notify_ack (code) after success, notify_nack (code, result) after failure.
    void answer(int code, int result);

    melvox::decoder_channel& channel;
    melvox::decoder_settings settings;
    melvox::codec_parameters codec;
    melvox::named_value_list environment;
    uint8_t state = player_state_stopped;
    bool input_open = false;
    bool output_open = false;
    // Registered modules per kind; the module system adds them.
    int input_module_count = 0;
    int output_module_count = 0;
    int codec_module_count = 0;
    std::optional<player_hook_pair> module_loader_hook;
};

namespace melvox {

// Runs the hook entries: calls each "init-hook", keeps the "module-loader-hook".
void run_hooks(decoder& d, const player_hook_list* hooks);

// Dispatches one command taken by the decoder side (not command_exit).
void take_command(decoder& d, const player_message& m);

} // namespace melvox
