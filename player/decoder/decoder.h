// The decoder side's own object: the per-player settings, the environment,
// the module registries, the open input and output with their filter chains,
// the selected codec and the state of the stream being played.
#pragma once

#include "transport/channel.h"
#include "host/filter_chain.h"
#include "melvox_modules.h"
#include "host/module_registry.h"
#include "host/named_values.h"
#include "decoder/played_time.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// The codec parameters of the player, handed to every codec it opens.
struct codec_settings {
    uint8_t channel_mode = 0;
    uint8_t downsampling = 0;
    std::optional<std::array<int8_t, 64>> equalizer;
};

// The records of the input, the output and the codec each own their module
// instance: release deletes it (an open one closes itself), and so does the
// record when the decoder goes. Closing in order, through the filter chains,
// is the pipeline's (close_everything).

// A record that owns an instance is never copied.
struct not_copied {
    not_copied() = default;
    not_copied(const not_copied&) = delete;
    not_copied& operator=(const not_copied&) = delete;
};

// What the decoder keeps of its input beside the part that modules read
// (::decoder::input, which holds the instance and its registry entry).
struct input_record : not_copied {
    using shared_part = decltype(::decoder::input);

    explicit input_record(shared_part& shared) : shared(shared) {}
    ~input_record() { release(); }

    // Deletes the instance and forgets it and its name.
    void release();

    shared_part& shared;
    std::string name;                  // the instance's name
    std::string mime_type = "unknown"; // set by the input module; chooses the codec
    // The first bytes of the stream, read at open to recognise its type and
    // delivered before the input's own.
    std::vector<uint8_t> read_ahead;
};

struct output_record : not_copied {
    ~output_record() { release(); }

    // Deletes the instance and forgets it and its name.
    void release();

    bool open = false;
    uint32_t caps = 0;
    module_binding module; // instance and registry entry
    std::string name;      // the instance's name
};

struct codec_record : not_copied {
    ~codec_record() { release(); }

    // Deletes the instance and clears the record.
    void release();

    void* instance = nullptr;
    const module_entry* entry = nullptr;
    uint32_t largest_frame_bytes = 0;
    uint32_t capabilities = 0;
};

struct stream_status {
    float ratio = 0; // position in the stream, 0..1
    stream_info info{};
    std::string mime_type; // the codec's MIME type as last notified
    timecode time;
};

// What was last told to the caller and to the feedback side, so that only
// changes are told.
struct sent_marks {
    uint32_t duration_seconds = 0;
    uint32_t position = 0;
    timecode time;
    bool time_sent = false;
    timecode feedback_time;
    uint32_t feedback_position = 0;
    played_time last_pcm_event; // wall clock
};

enum input_record_state { input_closed = 0, input_opened = 1 };

struct player_decoder : ::decoder {
    explicit player_decoder(decoder_channel& c);
    player_decoder(const player_decoder&) = delete;
    player_decoder& operator=(const player_decoder&) = delete;

    // Sends a notification to the caller when the notification mask lets it pass.
    int notify(const player_message& m);
    // notify_ack (code) after success, notify_nack (code, result) after failure.
    void answer(int code, int result);
    // Sends a notification of this code without arguments.
    int notify_code(int code);
    // "message (detail)" through notify_debug at the given level.
    void report(int level, const char* message, const char* detail);
    // Reports "internal error" with the name of the failed check; -103.
    int internal_error(const char* detail);
    // Changes the state, telling the caller when it changed.
    void set_state(uint8_t new_state);

    bool input_is_open() const { return input.state == input_opened; }

    decoder_channel& channel;
    decoder_settings settings;
    codec_settings codec_parameters;
    named_value_list environment;
    named_value_list properties; // the stream's
    uint8_t state = player_state_stopped;
    bool decoding = false; // in a decode step, rather than in a command

    stream_status stream;
    pcm_frame frame{};
    std::vector<uint8_t> scratch; // PCM buffer when the output offers none
    played_time played;
    sent_marks sent;

    module_registry input_modules;
    module_registry output_modules;
    module_registry codec_modules;

    // After the registries and the environment, so that they go while what
    // their modules use is still there: the input instance first, the codec
    // instance last (the filters of the chains below go before them).
    codec_record codec;
    output_record output;
    input_record input_instance{input};

    input_filter_chain input_chain;
    output_filter_chain output_chain;
    std::optional<player_hook_pair> loader_hook;
};

// Fills the services table of d (decoder_services.cpp).
void install_services(player_decoder& d);

// Runs the hook entries: calls each "init-hook", keeps the "module-loader-hook".
void run_hooks(player_decoder& d, const player_hook_list* hooks);

// Dispatches one command taken by the decoder side (not command_exit).
void take_command(player_decoder& d, const player_message& m);

} // namespace melvox
