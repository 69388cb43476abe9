// The OSS output module: the Linux build's sound device. It plays PCM through
// /dev/dsp (or /dev/dsp0, /dev/dsp1, or a device that the caller names), picks
// the best sample format that the device offers, holds playback back with the
// device's trigger until some audio is queued, works around drivers that
// answer with the wrong byte order, and sets master and PCM volume through the
// OSS mixer when there is one.
#include "builtin_modules.h"
#include "oss_samples.h"

#include <sys/ioctl.h>
#include <sys/soundcard.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace melvox::oss;

// Output caps: what the device output offers beyond the mixer bits.
constexpr uint32_t mixer_caps = 0x7;
constexpr uint32_t device_caps = 0x5c7fc0;
constexpr uint32_t caps_u8 = 0x8000, caps_mu_law = 0x10000, caps_16bit = 0x20000;
constexpr int fragments_request = 0x7fff000d; // as many fragments as it likes, 8 KiB each
constexpr uint32_t delay_ms = 500;
constexpr int zero_writes_allowed = 100;

const char* const mixer_names[] = {"/dev/mixer", "/dev/mixer0", "/dev/mixer1"};
const char* const device_names[] = {"/dev/dsp", "/dev/dsp0", "/dev/dsp1"};

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

oss_output* of(void* instance)
{
    return static_cast<oss_output*>(instance);
}

void report(const oss_output* o, int level, const std::string& message, const char* detail = "")
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

// Volume word <-> its two channels.
int left_of(uint32_t volume)
{
    return static_cast<int>(volume & 0xff);
}

int right_of(uint32_t volume)
{
    return static_cast<int>((volume >> 8) & 0xff);
}

float balance_of(uint32_t volume)
{
    int sum = left_of(volume) + right_of(volume);
    return sum == 0 ? 0.5f : static_cast<float>(right_of(volume)) / static_cast<float>(sum);
}

int level_of(uint32_t volume)
{
    return std::max(left_of(volume), right_of(volume));
}

// A level split between the channels: the side that the balance leans away
// from is turned down.
uint32_t split(int level, float balance)
{
    int left = level, right = level;
    if (balance <= 0.5f)
        right = static_cast<int>(2 * balance * static_cast<float>(level));
    else
        left = static_cast<int>(2 * (1 - balance) * static_cast<float>(level));
    return static_cast<uint32_t>(left) | static_cast<uint32_t>(right) << 8;
}

// The format the device now plays; 16-bit samples in the other byte order
// than this machine's are swapped on their way out.
void set_playing_format(oss_output* o, int format)
{
    o->playing_format = format;
    o->byte_swap = differs_from_host_order(format);
}

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
int open_device(oss_output* o)
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
    default: report(o, 0, with_name("cannot open audio device %s", tried), std::strerror(error)); return error_open_failed;
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

void start_output(oss_output* o)
{
    int enable = PCM_ENABLE_OUTPUT;
    if (ioctl(o->device, SNDCTL_DSP_SETTRIGGER, &enable) < 0)
        report_failure(o, "cannot set trigger");
    o->countdown = -1;
}

int probe(const char* name)
{
    return name == nullptr || name[0] == '\0' || std::strncmp(name, "/dev/", 5) == 0 ? 0 : -1;
}

int query(module_info* info, int flags)
{
    if (info == nullptr)
        return error_invalid_parameters;
    if (flags & query_module_name) {
        std::snprintf(info->name, sizeof info->name, "OSS Sound Driver Interface");
        std::snprintf(info->description, sizeof info->description, "Version 1.4");
    }
    if (flags & query_device_count)
        info->index = 4;
    if (flags & query_device) {
        static const struct {
            const char* name;
            const char* description;
            uint32_t flags;
        } devices[] = {{"/dev/dsp", "default pcm audio output device", device_is_default},
                       {"/dev/dsp0", "first pcm audio output device", 0},
                       {"/dev/dsp1", "second pcm audio output device", 0},
                       {"/dev/*", "any pcm audio output device", device_is_pattern}};
        if (info->index >= std::size(devices))
            return error_invalid_parameters;
        const auto& device = devices[info->index];
        info->flags = device.flags;
        std::snprintf(info->name, sizeof info->name, "%s", device.name);
        std::snprintf(info->description, sizeof info->description, "%s", device.description);
    }
    return 0;
}

int new_instance(void** instance, const char* name, const module_entry* entry, decoder* d)
{
    if (instance == nullptr || d == nullptr)
        return error_invalid_parameters;
    auto o = new (std::nothrow) oss_output{};
    if (o == nullptr)
        return error_out_of_memory;
    try {
        o->name = name != nullptr ? name : "";
    } catch (const std::bad_alloc&) {
        delete o;
        return error_out_of_memory;
    }
    o->entry = entry;
    o->owner = d;
    *instance = o;
    return 0;
}

int close(void* instance)
{
    oss_output* o = of(instance);
    if (o->device >= 0)
        ::close(o->device);
    if (o->mixer >= 0)
        ::close(o->mixer);
    o->device = o->mixer = -1;
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
    oss_output* o = of(instance);
    close(instance);
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
    if (int r = open_device(o); r < 0) {
        close(instance);
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

// Writes the whole block, going on after partial writes; a device that
// takes nothing more than 100 times in a row fails the write.
int write_all(oss_output* o, const uint8_t* data, size_t size)
{
    int zero_writes = 0;
    while (size > 0) {
        ssize_t n = ::write(o->device, data, size);
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR)
                return -1;
            if (errno == EAGAIN && o->trigger && o->countdown != -1)
                start_output(o); // a full queue: time to play it
            n = 0;
        }
        if (n == 0) {
            if (++zero_writes > zero_writes_allowed)
                return -1;
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
        return -1;
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

// Writes a volume word to the mixer; false (reported) when it fails.
bool write_mixer(const oss_output* o, unsigned long request, uint32_t volume, const char* failure)
{
    int value = static_cast<int>(volume);
    if (ioctl(o->mixer, request, &value) < 0) {
        report_failure(o, failure);
        return false;
    }
    return true;
}

// Sets the device's sample format; false (reported) when it fails.
bool set_sample_format(oss_output* o, uint32_t bytes_per_sample)
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
        return false;
    }
    if (format == format_s16_be && answer == format_s16_le)
        answer = format_s16_be; // the same driver fault as at open
    set_playing_format(o, answer);
    return format != 0;
}

int set_control(void* instance, const output_control* c, uint32_t mask)
{
    oss_output* o = of(instance);
    if (o->device < 0 || c == nullptr)
        return -1;
    bool ok = true;
    auto request = [&](unsigned long what, int* argument, const char* failure) {
        if (ioctl(o->device, what, argument) < 0) {
            report_failure(o, failure);
            ok = false;
        }
    };
    if (mask & (control_reset | control_channels | control_sample_rate))
        request(SNDCTL_DSP_RESET, nullptr, "cannot reset device");
    if (mask & control_pause)
        request(SNDCTL_DSP_RESET, nullptr, "cannot use SNDCTL_DSP_RESET ioctl");
    if (mask & control_drain)
        request(SNDCTL_DSP_SYNC, nullptr, "cannot reset device");
    if ((mask & control_bytes_per_sample) && !set_sample_format(o, c->bytes_per_sample))
        ok = false;
    if (mask & control_channels) {
        int stereo = c->channels == 2 ? 1 : 0;
        request(SNDCTL_DSP_STEREO, &stereo, "cannot set stereo");
        if (!(mask & control_sample_rate))
            ok = false; // a channel change always comes with its rate
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
        ok &= write_mixer(o, SOUND_MIXER_WRITE_VOLUME, o->master_volume, "cannot set master volume");
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
            ok &= write_mixer(o, SOUND_MIXER_WRITE_PCM, o->pcm_volume, "cannot set pcm volume");
    }
    if ((mask & control_mute) && !o->muted && o->mixer >= 0) {
        o->muted = true;
        ok &= write_mixer(o, SOUND_MIXER_WRITE_PCM, 0, "cannot mute");
    }
    if ((mask & control_unmute) && o->muted && o->mixer >= 0) {
        o->muted = false;
        ok &= write_mixer(o, SOUND_MIXER_WRITE_PCM, o->pcm_volume, "cannot unmute");
    }
    return ok ? 0 : -1;
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
