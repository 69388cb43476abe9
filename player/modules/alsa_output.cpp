// The ALSA output module: the sound device of today's Linux. It plays PCM
// through an ALSA playback device, "alsa:NAME", or through ALSA's default
// device, which reaches PipeWire or PulseAudio where they run; that is the
// player's default sound device wherever no OSS device exists. Level,
// balance and mute are applied to the samples: the devices behind "default"
// need not have a mixer of their own.
#include "builtin_modules.h"
#include "device_query.h"
#include "named_instance.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr char prefix[] = "alsa:";
constexpr size_t prefix_length = sizeof prefix - 1;
constexpr unsigned latency_us = 200000; // what the device queues: short enough to follow pause and seek
constexpr int recoveries_allowed = 100;
constexpr uint32_t level_caps = 0x7; // master level, PCM level, balance

struct alsa_output {
    std::string name;
    const module_entry* entry = nullptr;
    decoder* owner = nullptr;
    snd_pcm_t* pcm = nullptr;
    // The format the device is set up for; 0 channels: not yet.
    int bytes_per_sample = 0;
    int channels = 0;
    int rate = 0;
    bool paused = false;
    uint32_t master_level = 100, pcm_level = 100, balance = 50;
    bool muted = false;
    std::vector<uint8_t> block; // samples with the level applied
};

alsa_output* of(void* instance)
{
    return static_cast<alsa_output*>(instance);
}

void report(const alsa_output* o, const std::string& message, const char* detail = "")
{
    decoder_services& s = o->owner->services;
    s.report_message(s.report_data, o->entry != nullptr ? o->entry->id : 0, 0, message.c_str(), detail);
}

bool is_alsa_name(const char* name)
{
    return name != nullptr && std::strncmp(name, prefix, prefix_length) == 0;
}

// The sound device's empty name goes to OSS where an OSS device exists.
int probe(const char* name)
{
    bool default_device = name == nullptr || name[0] == '\0';
    return is_alsa_name(name) || (default_device && !oss_device_exists()) ? 0 : error_unsupported_output_type;
}

int query(module_info* info, int flags)
{
    const device_description devices[] = {
        {"alsa:default", "ALSA's default device (PipeWire or PulseAudio where they run)",
         oss_device_exists() ? 0u : uint32_t(device_is_default)},
        {"alsa:*", "any ALSA playback device (aplay -L lists them)", device_is_pattern}};
    return answer_device_query(info, flags, "ALSA Sound Output", "Version 1.0", devices);
}

int new_instance(void** instance, const char* name, const module_entry* entry, decoder* d)
{
    return newInstance<alsa_output>(instance, name, entry, d);
}

// ALSA's own messages would go to standard error; the module reports its
// failures through the decoder instead.
void quiet(const char*, int, const char*, int, const char*, ...) {}

int open(void* instance)
{
    alsa_output* o = of(instance);
    static std::once_flag quietened;
    std::call_once(quietened, [] { snd_lib_error_set_handler(quiet); });
    std::string device = is_alsa_name(o->name.c_str()) ? o->name.substr(prefix_length) : "";
    if (device.empty())
        device = "default";
    int r = snd_pcm_open(&o->pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (r >= 0) {
        o->bytes_per_sample = o->channels = o->rate = 0;
        o->paused = false;
        return 0;
    }
    o->pcm = nullptr;
    std::string detail = "ALSA device " + device + ": " + snd_strerror(r);
    switch (-r) {
    case ENOENT:
    case ENODEV:
    case ENXIO: report(o, "no audio device found", detail.c_str()); return error_no_such_device_name;
    case EACCES:
    case EPERM: report(o, "access denied", detail.c_str()); return error_permission_denied;
    case EBUSY: report(o, "audio device busy", detail.c_str()); return error_device_busy;
    default: report(o, "cannot open audio device " + device, snd_strerror(r)); return error_open_failed;
    }
}

// What is queued plays out first, unless the device is paused.
int close(void* instance)
{
    alsa_output* o = of(instance);
    if (o->pcm == nullptr)
        return 0;
    if (!o->paused && snd_pcm_state(o->pcm) == SND_PCM_STATE_RUNNING)
        snd_pcm_drain(o->pcm);
    snd_pcm_close(o->pcm);
    o->pcm = nullptr;
    return 0;
}

int delete_instance(void* instance)
{
    if (instance != nullptr)
        close(instance);
    delete of(instance);
    return 0;
}

// Sets the device up for this format; what is queued in the old one plays
// out first. error_unsupported_format for a sample size without a format,
// error_ioctl_failed (reported) when the device refuses.
int set_format(alsa_output* o, int bytes_per_sample, int channels, int rate)
{
    if (bytes_per_sample != 1 && bytes_per_sample != 2)
        return error_unsupported_format;
    if (channels < 1 || rate < 1)
        return error_invalid_parameters;
    if (snd_pcm_state(o->pcm) == SND_PCM_STATE_RUNNING)
        snd_pcm_drain(o->pcm);
    snd_pcm_format_t format = bytes_per_sample == 1 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16;
    int r = snd_pcm_set_params(o->pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, static_cast<unsigned>(channels),
                               static_cast<unsigned>(rate), 1, latency_us);
    if (r < 0) {
        o->channels = 0;
        report(o, "cannot set the sample format", snd_strerror(r));
        return error_ioctl_failed;
    }
    o->bytes_per_sample = bytes_per_sample;
    o->channels = channels;
    o->rate = rate;
    return 0;
}

// The gains of the left and right channels: the level split by the balance
// as the other sound devices split it, 0 when muted.
void gains(const alsa_output* o, float& left, float& right)
{
    float level = o->muted ? 0.0f : float(o->master_level * o->pcm_level) / 10000.0f;
    float balance = float(o->balance) / 100.0f;
    left = right = level;
    if (balance <= 0.5f)
        right = 2 * balance * level;
    else
        left = 2 * (1 - balance) * level;
}

// The block with the level applied, in the module's own copy; the block
// itself at full level.
const uint8_t* leveled(alsa_output* o, const uint8_t* data, size_t bytes)
{
    float gain[2];
    gains(o, gain[0], gain[1]);
    if (gain[0] == 1.0f && gain[1] == 1.0f)
        return data;
    o->block.resize(bytes);
    size_t count = bytes / size_t(o->bytes_per_sample);
    for (size_t i = 0; i < count; ++i) {
        float g = o->channels == 2 ? gain[i % 2] : std::max(gain[0], gain[1]);
        if (o->bytes_per_sample == 2) {
            int16_t sample;
            std::memcpy(&sample, data + 2 * i, 2);
            sample = static_cast<int16_t>(std::lround(float(sample) * g));
            std::memcpy(&o->block[2 * i], &sample, 2);
        } else {
            o->block[i] = static_cast<uint8_t>(std::lround((float(data[i]) - 128) * g) + 128);
        }
    }
    return o->block.data();
}

int write(void* instance, const void* buffer, uint32_t bytes, int bytes_per_sample, int channels, int rate)
{
    alsa_output* o = of(instance);
    if (o->pcm == nullptr || buffer == nullptr)
        return error_write_failed;
    if (bytes_per_sample != o->bytes_per_sample || channels != o->channels || rate != o->rate)
        if (int r = set_format(o, bytes_per_sample, channels, rate); r < 0)
            return r;
    if (o->paused) {
        snd_pcm_pause(o->pcm, 0); // writing is playing
        o->paused = false;
    }
    size_t frame_bytes = size_t(bytes_per_sample) * size_t(channels);
    const uint8_t* data = leveled(o, static_cast<const uint8_t*>(buffer), bytes);
    snd_pcm_uframes_t frames = bytes / frame_bytes;
    int recoveries = 0;
    while (frames > 0) {
        snd_pcm_sframes_t n = snd_pcm_writei(o->pcm, data, frames);
        if (n < 0) {
            // An underrun, a suspended device or a signal: set up again and go on.
            int r = snd_pcm_recover(o->pcm, static_cast<int>(n), 1);
            if (r < 0 || ++recoveries > recoveries_allowed) {
                report(o, "cannot write to the audio device", snd_strerror(r < 0 ? r : static_cast<int>(n)));
                return error_write_failed;
            }
            continue;
        }
        data += size_t(n) * frame_bytes;
        frames -= snd_pcm_uframes_t(n);
    }
    return 0;
}

// Pause holds the device where it can; where it cannot, what is queued
// plays out. Every step is tried; the result is that of the first that
// failed.
int set_control(void* instance, const output_control* c, uint32_t mask)
{
    alsa_output* o = of(instance);
    if (c == nullptr)
        return error_invalid_parameters;
    if (o->pcm == nullptr)
        return error_ioctl_failed; // no device to ask
    int result = 0;
    auto step = [&](int r, const char* failure) {
        if (r < 0) {
            report(o, failure, snd_strerror(r));
            if (result == 0)
                result = error_ioctl_failed;
        }
    };
    auto resume = [&] {
        if (o->paused)
            step(snd_pcm_pause(o->pcm, 0), "cannot resume the audio device");
        o->paused = false;
    };
    if (mask & control_reset) {
        step(snd_pcm_drop(o->pcm), "cannot reset the audio device");
        step(snd_pcm_prepare(o->pcm), "cannot reset the audio device");
        o->paused = false;
    }
    if ((mask & control_pause) && !o->paused && snd_pcm_state(o->pcm) == SND_PCM_STATE_RUNNING) {
        snd_pcm_hw_params_t* params;
        snd_pcm_hw_params_alloca(&params);
        if (snd_pcm_hw_params_current(o->pcm, params) == 0 && snd_pcm_hw_params_can_pause(params)) {
            step(snd_pcm_pause(o->pcm, 1), "cannot pause the audio device");
            o->paused = result == 0;
        }
    }
    if (mask & control_resume)
        resume();
    if (mask & control_drain) {
        resume();
        if (snd_pcm_state(o->pcm) == SND_PCM_STATE_RUNNING) {
            step(snd_pcm_drain(o->pcm), "cannot drain the audio device");
            step(snd_pcm_prepare(o->pcm), "cannot drain the audio device");
        }
    }
    if (mask & (control_bytes_per_sample | control_sample_rate)) {
        int bytes_per_sample = (mask & control_bytes_per_sample) ? int(c->bytes_per_sample) : o->bytes_per_sample;
        int channels = (mask & control_channels) ? int(c->channels) : o->channels;
        int rate = (mask & control_sample_rate) ? int(c->sample_rate) : o->rate;
        if (bytes_per_sample == 0)
            bytes_per_sample = 2;
        if (channels != 0 && rate != 0)
            if (int r = set_format(o, bytes_per_sample, channels, rate); r < 0 && result == 0)
                result = r;
    }
    if ((mask & control_channels) && !(mask & control_sample_rate) && result == 0)
        result = error_invalid_parameters; // a channel change always comes with its rate
    if ((mask & control_master_level) && c->master_level <= 100)
        o->master_level = c->master_level;
    if ((mask & control_pcm_level) && c->pcm_level <= 100)
        o->pcm_level = c->pcm_level;
    if ((mask & control_balance) && c->balance <= 100)
        o->balance = c->balance;
    if (mask & control_mute)
        o->muted = true;
    if (mask & control_unmute)
        o->muted = false;
    return result;
}

int get_control(void* instance, output_control* c, uint32_t mask)
{
    const alsa_output* o = of(instance);
    if (c == nullptr)
        return error_invalid_parameters;
    if (mask & control_master_level)
        c->master_level = o->master_level;
    if (mask & control_pcm_level)
        c->pcm_level = o->pcm_level;
    if (mask & control_balance)
        c->balance = o->balance;
    return 0;
}

// The time that what is queued still takes to play.
int get_status(void* instance, uint32_t* delay)
{
    const alsa_output* o = of(instance);
    if (delay == nullptr)
        return error_invalid_parameters;
    *delay = 0;
    snd_pcm_sframes_t frames = 0;
    if (o->pcm != nullptr && o->rate > 0 && snd_pcm_delay(o->pcm, &frames) == 0 && frames > 0)
        *delay = static_cast<uint32_t>(int64_t{frames} * 1000 / o->rate);
    return 0;
}

uint32_t get_caps(void*)
{
    return level_caps | output_caps_reports_delay;
}

} // namespace

extern "C" int alsa_output_module_register(output_module* t)
{
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
    t->set_control = set_control;
    t->get_control = get_control;
    t->get_status = get_status;
    t->get_caps = get_caps;
    return 0;
}
