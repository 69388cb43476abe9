// A larger stdio buffer for the file modules: frames are a few kilobytes,
// and a buffer of 64 KiB saves most of the read and write calls.
#pragma once

#include <cstdio>
#include <memory>

namespace melvox {

using stdio_buffer = std::unique_ptr<char[]>;

// Gives file the buffer, which must outlive it (until fclose); the C library
// takes no size without a buffer of the caller's. The buffer is not cleared:
// the C library writes each byte before it reads it, and the pages of a new
// buffer cost nothing until they are touched (a short file touches one).
inline void use_large_buffer(std::FILE* file, stdio_buffer& buffer)
{
    constexpr size_t size = 64 * 1024;
    buffer = std::make_unique_for_overwrite<char[]>(size);
    std::setvbuf(file, buffer.get(), _IOFBF, size);
}

} // namespace melvox
