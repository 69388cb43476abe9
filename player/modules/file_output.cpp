// The file output module: PCM to a file or to standard output, bare or as a
// WAV file whose header is written at the first block and again, with the
// final sizes, at close. "aiff:" and "sun:" files get bare samples.
#include "builtin_modules.h"
#include "device_query.h"
#include "named_instance.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

enum class file_format { raw, wav, aiff, sun };

struct file_output {
    std::string name;
    const module_entry* entry;
    decoder* owner;
    std::FILE* file = nullptr;
    bool standard_output = false;
    uint64_t data_bytes = 0;
    uint32_t sample_rate = 44100;
    uint32_t channels = 2;
    file_format format = file_format::raw;
    bool header_written = false;
};

file_output* of(void* instance)
{
    return static_cast<file_output*>(instance);
}

void report(file_output* out, const char* message, const char* detail)
{
    decoder_services& s = out->owner->services;
    s.report_message(s.report_data, out->entry != nullptr ? out->entry->id : 0, 0, message, detail);
}

// The format that a name's prefix selects, and the file name after it.
std::pair<file_format, std::string> parse_name(const std::string& name)
{
    static const std::pair<const char*, file_format> prefixes[] = {{"raw:", file_format::raw},
                                                                   {"wav:", file_format::wav},
                                                                   {"aiff:", file_format::aiff},
                                                                   {"sun:", file_format::sun}};
    for (const auto& [prefix, format] : prefixes)
        if (name.starts_with(prefix))
            return {format, name.substr(std::strlen(prefix))};
    return {file_format::raw, name};
}

void put16(uint8_t* at, uint32_t v)
{
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* at, uint32_t v)
{
    put16(at, v & 0xffff);
    put16(at + 2, v >> 16);
}

// The 44-byte header of a 16-bit PCM WAV file. Sizes beyond 32 bits are
// written as the largest that fits.
std::array<uint8_t, 44> wav_header(uint64_t data_bytes, uint32_t rate, uint32_t channels)
{
    std::array<uint8_t, 44> h{};
    uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(data_bytes, UINT32_MAX - 36));
    std::memcpy(&h[0], "RIFF", 4);
    put32(&h[4], data + 36);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    put32(&h[16], 16);
    put16(&h[20], 1);
    put16(&h[22], channels);
    put32(&h[24], rate);
    put32(&h[28], rate * channels * 2);
    put16(&h[32], channels * 2);
    put16(&h[34], 16);
    std::memcpy(&h[36], "data", 4);
    put32(&h[40], data);
    return h;
}

bool write_header(file_output* out)
{
    auto h = wav_header(out->data_bytes, out->sample_rate, out->channels);
    return std::fwrite(h.data(), h.size(), 1, out->file) == 1;
}

int probe(const char*)
{
    return 0; // every name that no newer module claimed
}

int query(module_info* info, int flags)
{
    static const device_description devices[] = {{"*, or raw:*", "file name (raw PCM format)", device_is_pattern},
                                                 {"wav:*", "file name (WAV format)", device_is_pattern},
                                                 {"-", "standard output", 0}};
    return answer_device_query(info, flags, "Output To File", "Version 1.2", devices);
}

int new_instance(void** instance, const char* name, const module_entry* entry, decoder* d)
{
    return newNamedInstance<file_output>(instance, name, entry, d, "output");
}

int close(void* instance);

int delete_instance(void* instance)
{
    if (of(instance) != nullptr)
        close(instance);
    delete of(instance);
    return 0;
}

int open(void* instance)
{
    file_output* out = of(instance);
    if (out->file != nullptr)
        close(instance);
    out->data_bytes = 0;
    out->header_written = false;
    out->sample_rate = 44100;
    out->channels = 2;
    auto [format, file_name] = parse_name(out->name);
    out->format = format;
    if (file_name == "-") {
        out->file = stdout;
        out->standard_output = true;
#ifdef _WIN32
        // Samples pass unchanged: text mode would write 0x0A as 0x0D 0x0A.
        std::fflush(stdout);
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        return 0;
    }
    out->standard_output = false;
    out->file = std::fopen(file_name.c_str(), "wb");
    if (out->file == nullptr) {
        int e = errno;
        if (e == EACCES) {
            report(out, "cannot open output file", "permission denied");
            return error_permission_denied;
        }
        report(out, "cannot open output file", std::strerror(e));
        return error_open_failed;
    }
    return 0;
}

int close(void* instance)
{
    file_output* out = of(instance);
    if (out->file == nullptr)
        return 0;
    // The WAV header again, now with the final sizes (a pipe cannot go back).
    if (out->format == file_format::wav && std::fseek(out->file, 0, SEEK_SET) == 0)
        write_header(out);
    int r = 0;
    if (out->standard_output) {
        // Standard output stays open, so that a later open can use it again.
        r = std::fflush(out->file);
    } else {
        r = std::fclose(out->file);
    }
    out->file = nullptr;
    if (r != 0) {
        report(out, "cannot write output file", std::strerror(errno));
        return error_close_failed;
    }
    return 0;
}

int write(void* instance, const void* buffer, uint32_t bytes, int, int channels, int rate)
{
    file_output* out = of(instance);
    if (out->file == nullptr)
        return error_write_failed; // nothing open to write to
    if (!out->header_written) {
        out->header_written = true;
        out->sample_rate = static_cast<uint32_t>(rate);
        out->channels = static_cast<uint32_t>(channels);
        if (out->format == file_format::wav && !write_header(out))
            return error_write_failed;
    }
    if (bytes != 0 && std::fwrite(buffer, bytes, 1, out->file) != 1) {
        report(out, "cannot write output file", std::strerror(errno));
        return error_write_failed;
    }
    out->data_bytes += bytes;
    return 0;
}

} // namespace

extern "C" int file_output_module_register(output_module* t)
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
    return 0;
}
