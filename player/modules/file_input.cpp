// The file input module: a local file, or standard input for the name "-".
// Reads are all or nothing, so a short tail at the end is never delivered.
// A pipe, a FIFO or a terminal may keep the decoder waiting: the module
// waits through the decoder's wait_for_input, which gives way to commands,
// and a FIFO is opened without waiting for its writer.
#include "builtin_modules.h"
#include "device_query.h"
#include "file_buffer.h"
#include "id3v1.h"
#include "named_instance.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

namespace {

struct file_input {
    std::string name;
    const module_entry* entry;
    decoder* owner;
    std::FILE* file = nullptr;
    bool standard_input = false;
    bool stream = false;      // not a regular file: read as it comes, giving way to commands
    std::vector<char> buffer; // the file's stdio buffer
};

file_input* of(void* instance)
{
    return static_cast<file_input*>(instance);
}

void report(file_input* in, const char* message, const char* detail)
{
    decoder_services& s = in->owner->services;
    s.report_message(s.report_data, in->entry != nullptr ? in->entry->id : 0, 0, message, detail);
}

bool ends_with_mp3(const std::string& name)
{
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".mp3") == 0;
}

// Publishes the ID3 version 1 tag of the file's last 128 bytes, then goes
// back to the start.
void read_tag(file_input* in)
{
    uint8_t tag[melvox::id3v1_tag_size];
    if (fseeko(in->file, -static_cast<off_t>(sizeof tag), SEEK_END) == 0 &&
        std::fread(tag, 1, sizeof tag, in->file) == sizeof tag) {
        decoder_services& s = in->owner->services;
        for (const auto& [name, value] : melvox::read_id3v1(tag))
            s.property_set_string(in->owner, name.c_str(), value.c_str());
    }
    fseeko(in->file, 0, SEEK_SET);
}

// Opens name for reading. A FIFO is opened without waiting for a writer
// (which may never come while the decoder has commands to answer); reads
// wait for its bytes instead.
std::FILE* open_file(const std::string& name)
{
#ifdef _WIN32
    return std::fopen(name.c_str(), "rb");
#else
    int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    int flags = fcntl(fd, F_GETFL);
    std::FILE* file = flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0 ? fdopen(fd, "rb") : nullptr;
    if (file == nullptr) {
        int e = errno;
        ::close(fd);
        errno = e;
    }
    return file;
#endif
}

bool is_stream(std::FILE* file)
{
#ifdef _WIN32
    (void)file;
    return false; // read as a file: the decoder thread waits in the read
#else
    struct stat st;
    return fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode);
#endif
}

// Reads from a stream straight from its descriptor (no stdio buffer that
// poll cannot see), waiting between reads as the decoder lets it. Returns
// the bytes read, 0 at the end, or error_timeout when a command comes first
// and nothing was read; the decoder asks again for what is missing.
int32_t read_stream(file_input* in, uint8_t* buffer, uint32_t size)
{
#ifdef _WIN32
    return std::fread(buffer, size, 1, in->file) == 1 ? static_cast<int32_t>(size) : 0;
#else
    int fd = fileno(in->file);
    decoder_services& s = in->owner->services;
    uint32_t got = 0;
    while (got < size) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 0) == 0) {
            if (got > 0)
                break; // what came so far; the rest is waited for by the next read
            if (s.wait_for_input != nullptr) {
                if (int r = s.wait_for_input(in->owner, fd); r < 0)
                    return r;
            }
        }
        ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the end, or a failure, which cannot be told from it
        got += static_cast<uint32_t>(n);
    }
    return static_cast<int32_t>(got);
#endif
}

int probe(const char*)
{
    return 0; // every name that no newer module claimed
}

int query(module_info* info, int flags)
{
    static const device_description devices[] = {{"*", "any file name", device_is_pattern}, {"-", "standard input", 0}};
    return answer_device_query(info, flags, "Input From File", "Version 1.2", devices);
}

int new_instance(void** instance, const char* name, const module_entry* entry, decoder* d)
{
    return newNamedInstance<file_input>(instance, name, entry, d, "input");
}

int delete_instance(void* instance)
{
    file_input* in = of(instance);
    if (in != nullptr && in->file != nullptr && !in->standard_input)
        std::fclose(in->file);
    delete in;
    return 0;
}

int open(void* instance)
{
    file_input* in = of(instance);
    if (in->file != nullptr)
        return 0;
    if (in->name == "-") {
        in->file = stdin;
        in->standard_input = true;
#ifdef _WIN32
        // Stream bytes pass unchanged: no CR LF folding, no end at 0x1A.
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        in->stream = is_stream(stdin);
        return 0;
    }
    in->standard_input = false;
    in->file = open_file(in->name);
    if (in->file == nullptr) {
        int e = errno;
        if (e == ENOENT) {
            report(in, "cannot open input file", "file not found");
            return error_no_such_file;
        }
        std::error_code ignored;
        if (e == EACCES && std::filesystem::is_directory(in->name, ignored)) {
            // Windows refuses to open a directory as a file with EACCES.
            report(in, "cannot open input file", std::strerror(EISDIR));
            return error_open_failed;
        }
        if (e == EACCES) {
            report(in, "cannot open input file", "permission denied");
            return error_permission_denied;
        }
        report(in, "cannot open input file", std::strerror(e));
        return error_open_failed;
    }
    // A directory opens for reading but cannot be read: refuse it here.
    struct stat st;
    if (fstat(fileno(in->file), &st) == 0 && S_ISDIR(st.st_mode)) {
        std::fclose(in->file);
        in->file = nullptr;
        report(in, "cannot open input file", std::strerror(EISDIR));
        return error_open_failed;
    }
    in->stream = is_stream(in->file);
    if (!in->stream && !in->standard_input)
        melvox::use_large_buffer(in->file, in->buffer);
    if (ends_with_mp3(in->name) && !in->stream)
        read_tag(in);
    return 0;
}

int close(void* instance)
{
    file_input* in = of(instance);
    if (in->file != nullptr && !in->standard_input)
        std::fclose(in->file);
    in->file = nullptr;
    return 0;
}

int32_t read(void* instance, void* buffer, uint32_t size)
{
    file_input* in = of(instance);
    if (in->file == nullptr || size > INT32_MAX)
        return 0;
    if (in->stream)
        return read_stream(in, static_cast<uint8_t*>(buffer), size);
    return std::fread(buffer, size, 1, in->file) == 1 ? static_cast<int32_t>(size) : 0;
}

int seek(void* instance, uint32_t offset)
{
    file_input* in = of(instance);
    if (in->file == nullptr || in->standard_input || in->stream)
        return error_no_such_interface; // a stream that offers no seeking
    return fseeko(in->file, static_cast<off_t>(offset), SEEK_SET) == 0 ? 0 : error_read_failed;
}

uint32_t get_caps(void* instance)
{
    return of(instance)->standard_input || of(instance)->stream ? 0 : input_caps_seekable;
}

uint32_t get_size(void* instance)
{
    file_input* in = of(instance);
    struct stat st;
    if (in->file == nullptr || in->standard_input || fstat(fileno(in->file), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    // Sizes are 32-bit: a larger file counts as one of unknown size.
    return st.st_size >= 0 && static_cast<uint64_t>(st.st_size) <= UINT32_MAX ? static_cast<uint32_t>(st.st_size) : 0;
}

} // namespace

extern "C" int file_input_module_register(input_module* t)
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
    t->read = read;
    t->seek = seek;
    t->get_caps = get_caps;
    t->get_size = get_size;
    t->send_message = nullptr;
    return 0;
}
