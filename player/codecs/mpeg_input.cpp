#include "mpeg_input.h"

#include "mpeg_errors.h"

#include <cstring>

namespace melvox::mpeg {

memory_input::memory_input(const void* data, size_t size)
    : bytes_(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size)
{
}

int memory_input::read(void* buffer, size_t size)
{
    if (size > bytes_.size() - position_) {
        position_ = bytes_.size();
        return error_end_of_input;
    }
    std::memcpy(buffer, bytes_.data() + position_, size);
    position_ += size;
    return 0;
}

int memory_input::seek(uint64_t offset)
{
    if (offset > bytes_.size())
        return error_invalid_parameters;
    position_ = offset;
    return 0;
}

file_input::file_input(std::FILE* file) : file_(file)
{
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        long end = std::ftell(file_);
        if (end >= 0 && std::fseek(file_, 0, SEEK_SET) == 0) {
            seekable_ = true;
            size_ = static_cast<uint64_t>(end);
        }
    }
}

int file_input::read(void* buffer, size_t size)
{
    size_t got = std::fread(buffer, 1, size, file_);
    position_ += got;
    if (got == size)
        return 0;
    return std::ferror(file_) ? error_read_failed : error_end_of_input;
}

int file_input::seek(uint64_t offset)
{
    if (!seekable_)
        return error_no_such_interface;
    if (offset > size_)
        return error_invalid_parameters;
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
        return error_read_failed;
    std::clearerr(file_);
    position_ = offset;
    return 0;
}

} // namespace melvox::mpeg
