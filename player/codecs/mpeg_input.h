// The byte stream that the MPEG audio codec decodes. The codec module feeds it
// from the decoder's input services; tools and tests use the memory and file
// forms below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace melvox::mpeg {

class stream_input {
public:
    virtual ~stream_input() = default;
    // Fills the whole buffer or fails: 0 on success, error_end_of_input when
    // the stream ends first (the bytes that were left are consumed), or another
    // negative error code.
    virtual int read(void* buffer, size_t size) = 0;
    // Moves to a byte offset from the start: 0, or a negative error code.
    virtual int seek(uint64_t offset) = 0;
    // The stream size in bytes; 0 when it is unknown.
    virtual uint64_t size() = 0;
    // The byte offset of the next read.
    virtual uint64_t position() = 0;
};

// A stream over bytes held in memory (a copy of them).
class memory_input : public stream_input {
public:
    memory_input(const void* data, size_t size);
    explicit memory_input(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    int read(void* buffer, size_t size) override;
    int seek(uint64_t offset) override;
    uint64_t size() override { return bytes_.size(); }
    uint64_t position() override { return position_; }

private:
    std::vector<uint8_t> bytes_;
    uint64_t position_ = 0;
};

// A stream over an open stdio file; a file that cannot seek (a pipe) reports
// size 0 and refuses seeks. The file stays owned by the caller.
class file_input : public stream_input {
public:
    explicit file_input(std::FILE* file);

    int read(void* buffer, size_t size) override;
    int seek(uint64_t offset) override;
    uint64_t size() override { return size_; }
    uint64_t position() override { return position_; }

private:
    std::FILE* file_;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
    bool seekable_ = false;
};

} // namespace melvox::mpeg
