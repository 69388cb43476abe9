// A larger stdio buffer for the file modules: frames are a few kilobytes,
// and a buffer of 64 KiB saves most of the read and write calls.
#pragma once

#include <cstdio>
#include <vector>

namespace melvox {

// Gives file the buffer, which must outlive it (until fclose); the C library
// takes no size without a buffer of the caller's.
inline void use_large_buffer(std::FILE* file, std::vector<char>& buffer)
{
    buffer.resize(64 * 1024);
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
}

} // namespace melvox
