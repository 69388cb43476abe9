// The OSS output module: the Linux build's sound device. It plays PCM through
// /dev/dsp (or /dev/dsp0, /dev/dsp1, or a device that the caller names), picks
// the best sample format that the device offers, holds playback back with the
// device's trigger until some audio is queued, works around drivers that
// answer with the wrong byte order, and sets master and PCM volume through the
// OSS mixer when there is one.
#include "builtin_modules.h"
#include "device_query.h"
#include "named_instance.h"
#include "oss_device.h"

#include <sys/ioctl.h>
#include <sys/soundcard.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <thread>
#include <unistd.h>

namespace {

using namespace melvox::oss;

constexpr uint32_t delay_ms = 500;
constexpr int zero_writes_allowed = 100;

oss_output* of(void* instance)
{
    return static_cast<oss_output*>(instance);
}

int probe(const char* name)
{
    return name == nullptr || name[0] == '\0' || std::strncmp(name, "/dev/", 5) == 0 ? 0
                                                                                     : error_unsupported_output_type;
}

int query(module_info* info, int flags)
{
    static const device_description devices[] = {{"/dev/dsp", "default pcm audio output device", device_is_default},
                                                 {"/dev/dsp0", "first pcm audio output device", 0},
                                                 {"/dev/dsp1", "second pcm audio output device", 0},
                                                 {"/dev/*", "any pcm audio output device", device_is_pattern}};
    return answer_device_query(info, flags, "OSS Sound Driver Interface", "Version 1.4", devices);
}

int new_instance(void** instance, const char* name, const module_entry* entry, decoder* d)
{
    return newInstance<oss_output>(instance, name, entry, d);
}

int close(void* instance)
{
    close_device(of(instance));
    return 0;
}

int delete_instance(void* instance)
{
    if (instance != nullptr)
        close(instance);
    delete of(instance);
    return 0;
}

int open(void* instance)
{
    return open_device(of(instance));
}

// Writes the whole block, going on after partial writes; a device that
// takes nothing more than 100 times in a row fails the write
// (error_write_failed, as does a write error).
int write_all(oss_output* o, const uint8_t* data, size_t size)
{
    int zero_writes = 0;
    while (size > 0) {
        ssize_t n = ::write(o->device, data, size);
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR)
                return error_write_failed;
            if (errno == EAGAIN && o->trigger && o->countdown != -1)
                start_output(o); // a full queue: time to play it
            n = 0;
        }
        if (n == 0) {
            if (++zero_writes > zero_writes_allowed)
                return error_write_failed;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

int write(void* instance, const void* buffer, uint32_t bytes, int bytes_per_sample, int, int)
{
    oss_output* o = of(instance);
    if (o->device < 0)
        return error_write_failed; // nothing open to write to
    const auto* data = static_cast<const uint8_t*>(buffer);
    size_t size = bytes;
    // 16-bit samples that the device takes in another form go through a
    // copy of the module's own: the decoder's block stays as it was.
    if (bytes_per_sample == 2 && (o->byte_swap || !is_16bit(o->playing_format))) {
        size_t count = bytes / 2;
        o->block.resize(count * 2);
        size = convert_samples(static_cast<const int16_t*>(buffer), count, o->playing_format, o->byte_swap,
                               o->block.data());
        data = o->block.data();
    }
    if (o->trigger && o->countdown != -1) {
        if (o->countdown > 0)
            o->countdown -= static_cast<int32_t>(std::min<uint32_t>(bytes, INT32_MAX));
        if (o->countdown <= 0)
            start_output(o);
    }
    return write_all(o, data, size);
}

// Writes a volume word to the mixer; error_ioctl_failed (reported) when it
// fails.
int write_mixer(const oss_output* o, unsigned long request, uint32_t volume, const char* failure)
{
    int value = static_cast<int>(volume);
    if (ioctl(o->mixer, request, &value) < 0) {
        report_failure(o, failure);
        return error_ioctl_failed;
    }
    return 0;
}

// Sets the device's sample format: error_ioctl_failed (reported) when the
// device refuses the request, error_unsupported_format for a sample size
// that no format has.
int set_sample_format(oss_output* o, uint32_t bytes_per_sample)
{
    int format = 0;
    if (bytes_per_sample == 1 || (bytes_per_sample == 2 && !o->offers_16bit))
        format = o->format8; // an 8-bit-only device gets 16-bit samples converted
    else if (bytes_per_sample == 2)
        format = o->format16;
    report(o, 1, with_name("setting format to %s", format_name(format)));
    int answer = format;
    if (ioctl(o->device, SNDCTL_DSP_SETFMT, &answer) < 0) {
        report_failure(o, "cannot set sample size");
        return error_ioctl_failed;
    }
    if (format == format_s16_be && answer == format_s16_le)
        answer = format_s16_be; // the same driver fault as at open
    set_playing_format(o, answer);
    return format != 0 ? 0 : error_unsupported_format;
}

// Every step is tried; the result is that of the first that failed: a
// refused request error_ioctl_failed, a channel change without its rate
// error_invalid_parameters.
int set_control(void* instance, const output_control* c, uint32_t mask)
{
    oss_output* o = of(instance);
    if (c == nullptr)
        return error_invalid_parameters;
    if (o->device < 0)
        return error_ioctl_failed; // no device to ask
    int result = 0;
    auto fail = [&](int code) {
        if (result == 0 && code < 0)
            result = code;
    };
    auto request = [&](unsigned long what, int* argument, const char* failure) {
        if (ioctl(o->device, what, argument) < 0) {
            report_failure(o, failure);
            fail(error_ioctl_failed);
        }
    };
    if (mask & (control_reset | control_channels | control_sample_rate))
        request(SNDCTL_DSP_RESET, nullptr, "cannot reset device");
    if (mask & control_pause)
        request(SNDCTL_DSP_RESET, nullptr, "cannot use SNDCTL_DSP_RESET ioctl");
    if (mask & control_drain)
        request(SNDCTL_DSP_SYNC, nullptr, "cannot reset device");
    if (mask & control_bytes_per_sample)
        fail(set_sample_format(o, c->bytes_per_sample));
    if (mask & control_channels) {
        int stereo = c->channels == 2 ? 1 : 0;
        request(SNDCTL_DSP_STEREO, &stereo, "cannot set stereo");
        if (!(mask & control_sample_rate))
            fail(error_invalid_parameters); // a channel change always comes with its rate
    }
    if (mask & control_sample_rate) {
        int rate = static_cast<int>(c->sample_rate);
        request(SNDCTL_DSP_SPEED, &rate, "cannot set sample rate");
        if (o->countdown == 0)
            o->countdown = static_cast<int32_t>((mask & control_channels) ? c->sample_rate * c->channels / 4
                                                                          : c->sample_rate / 2);
    }
    if ((mask & control_master_level) && o->mixer >= 0) {
        o->master_volume = split(static_cast<int>(c->master_level), o->master_balance);
        fail(write_mixer(o, SOUND_MIXER_WRITE_VOLUME, o->master_volume, "cannot set master volume"));
    }
    int pcm_level = static_cast<int>(c->pcm_level);
    if (mask & control_balance) {
        o->pcm_balance = static_cast<float>(c->balance) * 0.01f;
        if (!(mask & control_pcm_level))
            pcm_level = level_of(o->pcm_volume);
    }
    if ((mask & (control_pcm_level | control_balance)) && o->mixer >= 0) {
        o->pcm_volume = split(pcm_level, o->pcm_balance);
        if (!o->muted)
            fail(write_mixer(o, SOUND_MIXER_WRITE_PCM, o->pcm_volume, "cannot set pcm volume"));
    }
    if ((mask & control_mute) && !o->muted && o->mixer >= 0) {
        o->muted = true;
        fail(write_mixer(o, SOUND_MIXER_WRITE_PCM, 0, "cannot mute"));
    }
    if ((mask & control_unmute) && o->muted && o->mixer >= 0) {
        o->muted = false;
        fail(write_mixer(o, SOUND_MIXER_WRITE_PCM, o->pcm_volume, "cannot unmute"));
    }
    return result;
}

int get_control(void* instance, output_control* c, uint32_t mask)
{
    const oss_output* o = of(instance);
    if (c == nullptr)
        return error_invalid_parameters;
    if ((mask & control_master_level) && o->mixer >= 0)
        c->master_level = static_cast<uint32_t>(level_of(o->master_volume));
    if (mask & control_pcm_level)
        c->pcm_level = static_cast<uint32_t>(level_of(o->pcm_volume));
    if (mask & control_balance)
        c->balance = static_cast<uint32_t>(o->pcm_balance * 100);
    return 0;
}

int get_status(void*, uint32_t* delay)
{
    if (delay != nullptr)
        *delay = delay_ms;
    return 0;
}

uint32_t get_caps(void* instance)
{
    return of(instance)->caps;
}

} // namespace

extern "C" int oss_output_module_register(output_module* t)
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
