// The wave output's controls: reset, pause and resume of the device, format
// changes, mute, and the master level, PCM level and balance.
#include "wave_output_win32.h"

namespace melvox::wave {
namespace {

constexpr DWORD reset_settle_ms = 100;

wave_output* of(void* instance)
{
    return static_cast<wave_output*>(instance);
}

void set_device_volume(wave_output* o, uint32_t volume)
{
    if (o->handle != nullptr)
        o->api->set_volume(o->handle, volume);
}

void resume(wave_output* o)
{
    if (o->paused && o->handle != nullptr)
        o->api->restart(o->handle);
    o->paused = false;
}

} // namespace

int set_control(void* instance, const output_control* c, uint32_t mask)
{
    wave_output* o = of(instance);
    if (c == nullptr)
        return error_invalid_parameters;
    int result = 0;
    if ((mask & control_reset) && o->handle != nullptr) {
        o->api->reset(o->handle);
        o->api->sleep(reset_settle_ms);
        o->written = 0;
        resume(o);
        wait_for_all(o);
    }
    if ((mask & control_pause) && !o->paused) {
        if (o->handle != nullptr)
            o->api->pause(o->handle);
        o->paused = true;
    }
    if (mask & control_resume)
        resume(o);
    if (mask & (control_channels | control_sample_rate))
        result = open_device(o, c->sample_rate, c->channels); // a failure shows in the result
    if (mask & control_mute) {
        o->muted = true;
        set_device_volume(o, 0);
    }
    if (mask & control_unmute) {
        o->muted = false;
        set_device_volume(o, o->saved_volume);
    }
    // Levels and balance beyond 100 are taken as 100: the device's range ends there.
    if (mask & control_master_level)
        set_master_level(o, std::min(c->master_level, 100u));
    if (mask & control_balance)
        o->balance = std::min(c->balance, 100u) / 100.0;
    if (mask & (control_pcm_level | control_balance)) {
        double value = (mask & control_pcm_level) ? channel_value(std::min(c->pcm_level, 100u))
                                                  : std::max(left_of(o->saved_volume), right_of(o->saved_volume));
        o->saved_volume = split(value, o->balance);
        if (!o->muted)
            set_device_volume(o, o->saved_volume);
    }
    return result;
}

int get_control(void* instance, output_control* c, uint32_t mask)
{
    const wave_output* o = of(instance);
    if (c == nullptr)
        return error_invalid_parameters;
    if ((mask & control_master_level) && o->mixer != nullptr) {
        uint32_t level = 0;
        c->master_level = read_master_level(o, &level) ? level : 0;
    }
    if (mask & control_pcm_level)
        c->pcm_level = level_of(o->saved_volume);
    if (mask & control_balance)
        c->balance = percent_of(o->balance);
    return 0;
}

} // namespace melvox::wave
