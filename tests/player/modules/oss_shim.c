/* A pretend OSS sound card for the tests, preloaded into a test process: it
 * answers for /dev/dsp, /dev/dsp0, /dev/dsp1 and the mixers /dev/mixer,
 * /dev/mixer0, /dev/mixer1 the way the environment says, so that devices that
 * no emulation offers (8-bit only, busy, a driver that answers with the wrong
 * byte order) can be tried. Every other file goes to the C library.
 *
 * Read at each open of a device (so a test may change them as it goes):
 *   OSS_SHIM_DEVICES  paths that exist (default "/dev/dsp")
 *   OSS_SHIM_OPEN     EBUSY, EACCES or EIO: opening an existing dsp fails so
 *   OSS_SHIM_CAPS     device caps (default 0x1000, the trigger)
 *   OSS_SHIM_FORMATS  offered formats (default 0x18, 8-bit and 16-bit LE)
 *   OSS_SHIM_SWAP_BUG when set, a request for 16-bit big-endian is answered
 *                     with 16-bit little-endian
 *   OSS_SHIM_FAIL     requests that fail with EINVAL, as words: fragment caps
 *                     formats setfmt stereo speed reset sync trigger
 *                     readpcm readvolume writepcm writevolume
 *   OSS_SHIM_WRITE    "eagain N": the first N writes fail with EAGAIN;
 *                     "stuck": every write takes 0 bytes; "partial": at most
 *                     1000 bytes a write; "realtime": each write takes as
 *                     long as its samples play
 *   OSS_SHIM_PCM, OSS_SHIM_VOLUME  the mixer's volume words (default 0x4b4b)
 *   OSS_SHIM_LOG      a file that gets one line per request
 *   OSS_SHIM_STAMP    when set, each line starts with the wall clock in ms,
 *                     and each program that starts notes "exec NAME"
 *   OSS_SHIM_DATA     a file that gets the bytes written to the dsp */
/* open and open64 are each interposed: neither may be renamed to the other
 * (a 32-bit build with 64-bit offsets would make open an alias of open64). */
#undef _FILE_OFFSET_BITS
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/soundcard.h>
#include <time.h>
#include <unistd.h>

enum kind { none, dsp, mixer };

#define MAX_FDS 1024
static enum kind kinds[MAX_FDS];
static int format_now = AFMT_U8;
static int writes_seen;
static int rate_now = 8000, channels_now = 1;

int oss_shim_present = 1;

static int (*real_open(void))(const char*, int, ...)
{
    return (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open");
}

static const char* setting(const char* name, const char* fallback)
{
    const char* v = getenv(name);
    return v != NULL ? v : fallback;
}

static long number(const char* name, long fallback)
{
    const char* v = getenv(name);
    return v != NULL ? strtol(v, NULL, 0) : fallback;
}

static int has_word(const char* list, const char* word)
{
    size_t n = strlen(word);
    for (const char* p = list; (p = strstr(p, word)) != NULL; p += n)
        if ((p == list || p[-1] == ' ') && (p[n] == '\0' || p[n] == ' '))
            return 1;
    return 0;
}

static void note(const char* format, ...)
{
    const char* path = getenv("OSS_SHIM_LOG");
    if (path == NULL)
        return;
    FILE* f = fopen(path, "a");
    if (f == NULL)
        return;
    if (getenv("OSS_SHIM_STAMP") != NULL) {
        struct timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        fprintf(f, "%lld ", (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000);
    }
    va_list a;
    va_start(a, format);
    vfprintf(f, format, a);
    va_end(a);
    fputc('\n', f);
    fclose(f);
}

__attribute__((constructor)) static void loaded(void)
{
    if (getenv("OSS_SHIM_STAMP") != NULL)
        note("exec %s", program_invocation_short_name);
}

static enum kind kind_of_path(const char* path)
{
    static const char* dsps[] = {"/dev/dsp", "/dev/dsp0", "/dev/dsp1"};
    static const char* mixers[] = {"/dev/mixer", "/dev/mixer0", "/dev/mixer1"};
    for (int i = 0; i < 3; ++i) {
        if (strcmp(path, dsps[i]) == 0)
            return dsp;
        if (strcmp(path, mixers[i]) == 0)
            return mixer;
    }
    return none;
}

static int open_device(const char* path, enum kind k)
{
    if (!has_word(setting("OSS_SHIM_DEVICES", "/dev/dsp"), path)) {
        note("open %s: absent", path);
        errno = ENOENT;
        return -1;
    }
    const char* fail = setting("OSS_SHIM_OPEN", "");
    if (k == dsp && *fail != '\0') {
        note("open %s: %s", path, fail);
        errno = strcmp(fail, "EBUSY") == 0 ? EBUSY : strcmp(fail, "EACCES") == 0 ? EACCES : EIO;
        return -1;
    }
    int fd = real_open()("/dev/null", O_RDWR);
    if (fd < 0 || fd >= MAX_FDS)
        return -1;
    kinds[fd] = k;
    if (k == dsp) {
        writes_seen = 0;
        format_now = AFMT_U8; /* what an OSS device plays after open */
    }
    note("open %s", path);
    return fd;
}

static int shim_open(const char* path, int flags, mode_t mode, int (*next)(const char*, int, ...))
{
    enum kind k = path != NULL ? kind_of_path(path) : none;
    if (k != none)
        return open_device(path, k);
    return next(path, flags, mode);
}

int open(const char* path, int flags, ...)
{
    va_list a;
    va_start(a, flags);
    mode_t mode = (flags & O_CREAT) ? va_arg(a, mode_t) : 0;
    va_end(a);
    return shim_open(path, flags, mode, real_open());
}

int open64(const char* path, int flags, ...)
{
    va_list a;
    va_start(a, flags);
    mode_t mode = (flags & O_CREAT) ? va_arg(a, mode_t) : 0;
    va_end(a);
    return shim_open(path, flags, mode, (int (*)(const char*, int, ...))dlsym(RTLD_NEXT, "open64"));
}

/* The pretend card's devices exist for whoever looks (the player takes OSS
 * as its sound device where a device file exists). */
int access(const char* path, int mode)
{
    static int (*next)(const char*, int);
    if (kind_of_path(path) != none)
        return has_word(setting("OSS_SHIM_DEVICES", "/dev/dsp"), path) ? 0 : (errno = ENOENT, -1);
    if (next == NULL)
        next = (int (*)(const char*, int))dlsym(RTLD_NEXT, "access");
    return next(path, mode);
}

int close(int fd)
{
    static int (*next)(int);
    if (next == NULL)
        next = (int (*)(int))dlsym(RTLD_NEXT, "close");
    if (fd >= 0 && fd < MAX_FDS && kinds[fd] != none) {
        note("close %s", kinds[fd] == dsp ? "dsp" : "mixer");
        kinds[fd] = none;
    }
    return next(fd);
}

static int refused(const char* what)
{
    if (!has_word(setting("OSS_SHIM_FAIL", ""), what))
        return 0;
    note("%s: refused", what);
    errno = EINVAL;
    return 1;
}

static int dsp_request(unsigned long request, int* arg)
{
    switch (request) {
    case SNDCTL_DSP_SETFRAGMENT:
        if (refused("fragment"))
            return -1;
        note("fragment %x", *arg);
        return 0;
    case SNDCTL_DSP_GETCAPS:
        if (refused("caps"))
            return -1;
        *arg = (int)number("OSS_SHIM_CAPS", DSP_CAP_TRIGGER);
        return 0;
    case SNDCTL_DSP_GETFMTS:
        if (refused("formats"))
            return -1;
        *arg = (int)number("OSS_SHIM_FORMATS", AFMT_U8 | AFMT_S16_LE);
        return 0;
    case SNDCTL_DSP_SETTRIGGER:
        if (refused("trigger"))
            return -1;
        note("trigger %s", (*arg & PCM_ENABLE_OUTPUT) ? "on" : "off");
        return 0;
    case SNDCTL_DSP_SETFMT: {
        if (refused("setfmt"))
            return -1;
        int asked = *arg;
        int offered = (int)number("OSS_SHIM_FORMATS", AFMT_U8 | AFMT_S16_LE);
        if (asked == AFMT_S16_BE && getenv("OSS_SHIM_SWAP_BUG") != NULL)
            format_now = AFMT_S16_LE;
        else if (asked != AFMT_QUERY && (asked & offered) == asked)
            format_now = asked;
        *arg = format_now;
        note("setfmt %x -> %x", asked, format_now);
        return 0;
    }
    case SNDCTL_DSP_STEREO:
        if (refused("stereo"))
            return -1;
        note("stereo %d", *arg);
        channels_now = *arg ? 2 : 1;
        return 0;
    case SNDCTL_DSP_SPEED:
        if (refused("speed"))
            return -1;
        note("speed %d", *arg);
        rate_now = *arg > 0 ? *arg : rate_now;
        return 0;
    case SNDCTL_DSP_RESET:
        if (refused("reset"))
            return -1;
        note("reset");
        return 0;
    case SNDCTL_DSP_SYNC:
        if (refused("sync"))
            return -1;
        note("sync");
        return 0;
    default: errno = EINVAL; return -1;
    }
}

static int mixer_request(unsigned long request, int* arg)
{
    switch (request) {
    case SOUND_MIXER_READ_PCM:
        if (refused("readpcm"))
            return -1;
        *arg = (int)number("OSS_SHIM_PCM", 0x4b4b);
        return 0;
    case SOUND_MIXER_READ_VOLUME:
        if (refused("readvolume"))
            return -1;
        *arg = (int)number("OSS_SHIM_VOLUME", 0x4b4b);
        return 0;
    case SOUND_MIXER_WRITE_PCM:
        if (refused("writepcm"))
            return -1;
        note("pcm left %d right %d", *arg & 0xff, (*arg >> 8) & 0xff);
        return 0;
    case SOUND_MIXER_WRITE_VOLUME:
        if (refused("writevolume"))
            return -1;
        note("master left %d right %d", *arg & 0xff, (*arg >> 8) & 0xff);
        return 0;
    default: errno = EINVAL; return -1;
    }
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list a;
    va_start(a, request);
    void* arg = va_arg(a, void*);
    va_end(a);
    if (fd >= 0 && fd < MAX_FDS && kinds[fd] == dsp)
        return dsp_request(request, (int*)arg);
    if (fd >= 0 && fd < MAX_FDS && kinds[fd] == mixer)
        return mixer_request(request, (int*)arg);
    static int (*next)(int, unsigned long, ...);
    if (next == NULL)
        next = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    return next(fd, request, arg);
}

ssize_t write(int fd, const void* buffer, size_t size)
{
    static ssize_t (*next)(int, const void*, size_t);
    if (next == NULL)
        next = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (fd < 0 || fd >= MAX_FDS || kinds[fd] != dsp)
        return next(fd, buffer, size);
    const char* mode = setting("OSS_SHIM_WRITE", "");
    ++writes_seen;
    if (strncmp(mode, "eagain ", 7) == 0 && writes_seen <= atoi(mode + 7)) {
        note("write: EAGAIN");
        errno = EAGAIN;
        return -1;
    }
    if (strcmp(mode, "stuck") == 0)
        return 0;
    if (strcmp(mode, "partial") == 0 && size > 1000)
        size = 1000;
    const char* path = getenv("OSS_SHIM_DATA");
    if (path != NULL) {
        FILE* f = fopen(path, "ab");
        if (f != NULL) {
            fwrite(buffer, 1, size, f);
            fclose(f);
        }
    }
    note("write %zu", size);
    if (strcmp(mode, "realtime") == 0) {
        int bytes = (format_now == AFMT_S16_LE || format_now == AFMT_S16_BE) ? 2 : 1;
        long long ns = (long long)size * 1000000000LL / ((long long)rate_now * channels_now * bytes);
        struct timespec pause = {(time_t)(ns / 1000000000LL), (long)(ns % 1000000000LL)};
        nanosleep(&pause, NULL);
    }
    return (ssize_t)size;
}
