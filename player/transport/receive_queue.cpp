#include "transport/receive_queue.h"

#include <algorithm>
#include <cstring>

namespace melvox {

std::array<std::span<uint8_t>, 2> receive_queue::free_space()
{
    size_t capacity = buffer_.size();
    size_t tail = (head_ + size_) % capacity;
    size_t first = std::min(room(), capacity - tail);
    return {std::span<uint8_t>(&buffer_[tail], first), std::span<uint8_t>(buffer_.data(), room() - first)};
}

void receive_queue::commit(size_t n)
{
    size_ += std::min(n, room());
}

void receive_queue::peek(uint8_t* out, size_t n) const
{
    size_t first = std::min(n, buffer_.size() - head_);
    std::memcpy(out, &buffer_[head_], first);
    std::memcpy(out + first, &buffer_[0], n - first);
}

void receive_queue::drop(size_t n)
{
    head_ = (head_ + n) % buffer_.size();
    size_ -= n;
    if (size_ == 0)
        head_ = 0;
}

} // namespace melvox
