// A point in time after which a wait gives up; a negative limit never expires.
#pragma once

#include <algorithm>
#include <chrono>

namespace melvox::net {

class deadline {
public:
    explicit deadline(int time_ms)
        : unlimited_(time_ms < 0),
          end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(time_ms, 0)))
    {
    }

    // Milliseconds left (0 when past), or -1 without a limit.
    int remaining_ms() const
    {
        if (unlimited_)
            return -1;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
        return int(std::max<long long>(left.count(), 0));
    }

    bool expired() const { return remaining_ms() == 0; }

private:
    bool unlimited_;
    std::chrono::steady_clock::time_point end_;
};

} // namespace melvox::net
