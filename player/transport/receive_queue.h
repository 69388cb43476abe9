// A fixed circular byte queue between a pipe and the frame decoder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "messages/frame_codec.h"

namespace melvox {

class receive_queue {
public:
    size_t size() const { return size_; }
    size_t room() const { return buffer_.size() - size_; }

    // The free space, as at most two pieces to fill in order; commit(n)
    // then adds the first n bytes written there.
    std::array<std::span<uint8_t>, 2> free_space();
    void commit(size_t n);

    // Copies n queued bytes (n <= size()) to out without removing them.
    void peek(uint8_t* out, size_t n) const;
    void drop(size_t n);

private:
    // Not cleared: only bytes that were committed are read, and a queue's
    // pages cost nothing until a frame lands in them.
    std::array<uint8_t, receive_queue_size> buffer_;
    size_t head_ = 0; // first queued byte
    size_t size_ = 0;
};

} // namespace melvox
