// Opening the OSS output: mixer and device discovery, fragments, the
// trigger, and the choice of the sample format.
#include "builtin_modules.h"
#include "oss_device.h"

#include <sys/ioctl.h>
#include <sys/soundcard.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace melvox::oss {
namespace {

constexpr int fragments_request = 0x7fff000d; // as many fragments as it likes, 8 KiB each

const char* const mixer_names[] = {"/dev/mixer", "/dev/mixer0", "/dev/mixer1"};
const char* const device_names[] = {"/dev/dsp", "/dev/dsp0", "/dev/dsp1"};

void open_mixer(oss_output* o)
{
    for (const char* name : mixer_names) {
        int fd = ::open(name, O_RDWR);
        if (fd >= 0) {
            o->mixer = fd;
            return;
        }
        if (errno != ENOENT) {
            report_failure(o, with_name("cannot open mixer device %s", name));
            return;
        }
        report(o, 0, with_name("mixer device %s does not exist", name));
    }
    report(o, 0, "volume/balance control disabled", "no mixer device found");
}

void read_mixer(oss_output* o)
{
    int volume = 0;
    if (ioctl(o->mixer, SOUND_MIXER_READ_PCM, &volume) < 0)
        report_failure(o, "cannot read pcm volume");
    else
        o->pcm_volume = static_cast<uint32_t>(volume) & 0xffff;
    o->pcm_balance = balance_of(o->pcm_volume);
    volume = 0;
    if (ioctl(o->mixer, SOUND_MIXER_READ_VOLUME, &volume) < 0)
        report_failure(o, "cannot get master volume");
    else
        o->master_volume = static_cast<uint32_t>(volume) & 0xffff;
    o->master_balance = balance_of(o->master_volume);
}

// Opens the named device, or the first of the usual ones that exists. On
// failure returns the error code with its message reported.
int open_audio(oss_output* o)
{
    std::vector<const char*> names(std::begin(device_names), std::end(device_names));
    if (!o->name.empty())
        names = {o->name.c_str()};
    int error = ENOENT;
    const char* tried = names.front();
    for (const char* name : names) {
        int fd = ::open(name, O_WRONLY);
        if (fd >= 0) {
            o->device = fd;
            return 0;
        }
        error = errno;
        tried = name;
        if (error != ENOENT)
            break;
        report(o, 0, with_name("audio device %s does not exist", name));
    }
    switch (error) {
    case ENOENT: report(o, 0, "no audio device found"); return error_no_such_device_name;
    case EACCES: report(o, 0, "access denied"); return error_permission_denied;
    case EBUSY: report(o, 0, "audio device busy"); return error_device_busy;
    default:
        report(o, 0, with_name("cannot open audio device %s", tried), std::strerror(error));
        return error_open_failed;
    }
}

// Asks the device for a format; true when it took exactly that one.
bool try_format(const oss_output* o, int format)
{
    int answer = format;
    return ioctl(o->device, SNDCTL_DSP_SETFMT, &answer) >= 0 && answer == format;
}

// Without the list of formats: the first of 16-bit, mu law, 8-bit that the
// device takes.
void guess_format(oss_output* o)
{
    report_failure(o, "cannot get supported formats");
    o->caps |= caps_u8 | caps_mu_law | caps_16bit;
    if (try_format(o, format_s16_le)) {
        o->format16 = format_s16_le;
        set_playing_format(o, format_s16_le);
    } else if (try_format(o, format_mu_law)) {
        o->format8 = format_mu_law;
        o->offers_16bit = false;
        set_playing_format(o, format_mu_law);
    } else if (try_format(o, format_u8)) {
        o->format8 = format_u8;
        o->offers_16bit = false;
        set_playing_format(o, format_u8);
    } else {
        report(o, 0, "cannot set any known format");
    }
}

// The best of the offered formats: 16-bit before 8-bit, little-endian before
// big-endian, mu law before 8-bit unsigned.
void choose_format(oss_output* o, int offered)
{
    char text[160];
    std::snprintf(text, sizeof text, "supported formats = %x", static_cast<unsigned>(offered));
    report(o, 1, text);
    int best = o->format16;
    if (offered & AFMT_U8) {
        o->caps |= caps_u8;
        o->format8 = best = format_u8;
    }
    if (offered & AFMT_MU_LAW) {
        o->caps |= caps_mu_law;
        o->format8 = best = format_mu_law;
    }
    o->offers_16bit = (offered & (AFMT_S16_LE | AFMT_S16_BE)) != 0 || (offered & (AFMT_U8 | AFMT_MU_LAW)) == 0;
    if (offered & AFMT_S16_LE) {
        o->caps |= caps_16bit;
        o->format16 = best = format_s16_le;
    } else if (offered & AFMT_S16_BE) {
        o->caps |= caps_16bit;
        o->format16 = best = format_s16_be;
    }
    int answer = best;
    if (ioctl(o->device, SNDCTL_DSP_SETFMT, &answer) < 0) {
        report_failure(o, "cannot set best format");
        return;
    }
    report(o, 1, "best format selected", format_name(best));
    if (answer != best) {
        std::snprintf(text, sizeof text, "hardware refused format (%s), using suggested (%s)", format_name(best),
                      format_name(answer));
        report(o, 1, text);
    }
    if (best == format_s16_be && answer == format_s16_le) {
        // The driver claims little-endian for a device that offered only
        // big-endian: the samples go out big-endian all the same.
        report(o, 1, "module will swap samples to correct driver bug");
        set_playing_format(o, format_s16_be);
    } else {
        set_playing_format(o, answer);
    }
}

} // namespace

void report(const oss_output* o, int level, const std::string& message, const char* detail)
{
    decoder_services& s = o->owner->services;
    s.report_message(s.report_data, o->entry != nullptr ? o->entry->id : 0, level, message.c_str(), detail);
}

void report_failure(const oss_output* o, const std::string& message)
{
    report(o, 0, message, std::strerror(errno));
}

std::string with_name(const char* pattern, const char* name)
{
    char text[512];
    std::snprintf(text, sizeof text, pattern, name);
    return text;
}

void set_playing_format(oss_output* o, int format)
{
    o->playing_format = format;
    o->byte_swap = differs_from_host_order(format);
}

void start_output(oss_output* o)
{
    int enable = PCM_ENABLE_OUTPUT;
    if (ioctl(o->device, SNDCTL_DSP_SETTRIGGER, &enable) < 0)
        report_failure(o, "cannot set trigger");
    o->countdown = -1;
}

void close_device(oss_output* o)
{
    if (o->device >= 0)
        ::close(o->device);
    if (o->mixer >= 0)
        ::close(o->mixer);
    o->device = o->mixer = -1;
}

int open_device(oss_output* o)
{
    close_device(o);
    o->caps = 0;
    o->pcm_volume = o->master_volume = 0;
    o->pcm_balance = o->master_balance = 0.5f;
    o->trigger = false;
    o->countdown = 0;
    o->format16 = format_s16_le;
    o->format8 = format_u8;
    o->offers_16bit = true;
    set_playing_format(o, format_s16_le);

    open_mixer(o);
    if (o->mixer >= 0) {
        o->caps = mixer_caps;
        read_mixer(o);
    }
    if (int r = open_audio(o); r < 0) {
        close_device(o);
        return r;
    }
    int fragments = fragments_request;
    if (ioctl(o->device, SNDCTL_DSP_SETFRAGMENT, &fragments) < 0)
        report(o, 1, "cannot set fragment size", std::strerror(errno));

    o->caps |= device_caps;
    int device = 0;
    if (ioctl(o->device, SNDCTL_DSP_GETCAPS, &device) < 0) {
        report_failure(o, "cannot get device caps");
        device = 0;
    }
    if (device & DSP_CAP_TRIGGER) {
        int disable = ~PCM_ENABLE_OUTPUT;
        if (ioctl(o->device, SNDCTL_DSP_SETTRIGGER, &disable) < 0)
            report_failure(o, "cannot set trigger");
        else
            o->trigger = true;
    }

    int offered = 0;
    if (ioctl(o->device, SNDCTL_DSP_GETFMTS, &offered) < 0)
        guess_format(o);
    else
        choose_format(o, offered);
    return 0;
}

} // namespace melvox::oss

extern "C" int oss_device_exists(void)
{
    for (const char* name : melvox::oss::device_names)
        if (::access(name, F_OK) == 0)
            return 1;
    return 0;
}
