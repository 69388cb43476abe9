// The file output module: PCM to a file or to standard output, bare or as a
// WAV, AIFF or Sun file whose header is written at the first block and
// again, with the final sizes, at close.
#include "audio_file_headers.h"
#include "builtin_modules.h"
#include "device_query.h"
#include "file_buffer.h"
#include "named_instance.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#endif

namespace {

using melvox::audio_file_format;
using melvox::audio_file_header;
using melvox::unknown_data_size;

struct file_output {
    std::string name;
    const module_entry* entry;
    decoder* owner;
    std::FILE* file = nullptr;
    bool standard_output = false;
    uint64_t data_bytes = 0;
    uint32_t sample_rate = 44100;
    uint32_t channels = 2;
    audio_file_format format = audio_file_format::raw;
    bool header_written = false;
    off_t header_offset = -1;     // where the header goes, -1 when it cannot be rewritten
    std::vector<uint8_t> swapped; // big-endian samples for AIFF and Sun
    std::vector<char> buffer;     // the file's stdio buffer
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
std::pair<audio_file_format, std::string> parse_name(const std::string& name)
{
    static const std::pair<const char*, audio_file_format> prefixes[] = {{"raw:", audio_file_format::raw},
                                                                         {"wav:", audio_file_format::wav},
                                                                         {"aiff:", audio_file_format::aiff},
                                                                         {"sun:", audio_file_format::sun}};
    for (const auto& [prefix, format] : prefixes)
        if (name.starts_with(prefix))
            return {format, name.substr(std::strlen(prefix))};
    return {audio_file_format::raw, name};
}

// Whether the header can be rewritten with the final sizes at close: only
// in a regular file that is not appended to (appending would put the second
// header at the end).
bool can_rewrite_header(std::FILE* file)
{
    struct stat st;
    if (fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
#ifndef _WIN32
    int flags = fcntl(fileno(file), F_GETFL);
    if (flags < 0 || (flags & O_APPEND) != 0)
        return false;
#endif
    return true;
}

bool write_bytes(file_output* out, const void* bytes, size_t size)
{
    if (size == 0 || std::fwrite(bytes, size, 1, out->file) == 1)
        return true;
    report(out, "cannot write output file", std::strerror(errno));
    return false;
}

// The header with the sizes of what was written so far; where it cannot be
// rewritten later, with the sizes that mean "until the end".
bool write_header(file_output* out, bool final)
{
    uint64_t size = final || out->header_offset >= 0 ? out->data_bytes : unknown_data_size;
    auto h = audio_file_header(out->format, size, out->sample_rate, out->channels);
    return write_bytes(out, h.data(), h.size());
}

// Puts the final sizes into the header written at the first block, and
// leaves the file positioned at its end for whatever follows on standard
// output.
bool rewrite_header(file_output* out)
{
    off_t end = ftello(out->file);
    if (end < 0 || fseeko(out->file, out->header_offset, SEEK_SET) != 0)
        return false;
    bool written = write_header(out, true);
    return fseeko(out->file, end, SEEK_SET) == 0 && written;
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
        out->header_offset = can_rewrite_header(stdout) ? ftello(stdout) : -1;
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
    melvox::use_large_buffer(out->file, out->buffer);
    out->header_offset = can_rewrite_header(out->file) ? 0 : -1;
    return 0;
}

int close(void* instance)
{
    file_output* out = of(instance);
    if (out->file == nullptr)
        return 0;
    bool written = true;
    if (out->format == audio_file_format::aiff && out->data_bytes % 2 != 0)
        written = write_bytes(out, "", 1); // the pad byte of an odd-sized chunk
    if (out->format != audio_file_format::raw) {
        // An empty file gets its header now; the others have theirs
        // rewritten with the final sizes where the output can go back.
        if (!out->header_written)
            written = write_header(out, true) && written;
        else if (out->header_offset >= 0)
            written = rewrite_header(out) && written;
    }
    // Standard output stays open, so that a later open can use it again.
    int r = out->standard_output ? std::fflush(out->file) : std::fclose(out->file);
    out->file = nullptr;
    if (r != 0)
        report(out, "cannot write output file", std::strerror(errno));
    return written && r == 0 ? 0 : error_close_failed;
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
        if (out->header_offset >= 0)
            out->header_offset = ftello(out->file);
        if (!write_header(out, false))
            return error_write_failed;
    }
    if (melvox::has_big_endian_samples(out->format) && std::endian::native == std::endian::little) {
        try {
            out->swapped.resize(bytes);
        } catch (const std::bad_alloc&) {
            return error_out_of_memory;
        }
        auto in = static_cast<const uint8_t*>(buffer);
        for (uint32_t i = 0; i + 1 < bytes; i += 2) {
            out->swapped[i] = in[i + 1];
            out->swapped[i + 1] = in[i];
        }
        if (bytes % 2 != 0)
            out->swapped[bytes - 1] = in[bytes - 1];
        buffer = out->swapped.data();
    }
    if (!write_bytes(out, buffer, bytes))
        return error_write_failed;
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
