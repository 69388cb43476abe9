// A network input opened the way the player opens it, for the tests: new,
// open, reads repeated while the buffer refills, close and delete.
#pragma once

#include "melvox.h"
#include "list_environment.h"
#include "network_input.h"
#include "recording_reporter.h"

#include <chrono>
#include <string>

namespace net_test {

class input_session {
public:
    ~input_session()
    {
        if (input != nullptr) {
            melvox::net::network_input_close(input);
            melvox::net::network_input_delete(input);
        }
    }

    int open(const std::string& name)
    {
        int result = melvox::net::network_input_new(&input, name.c_str(), reader, &reporter);
        return result < 0 ? result : melvox::net::network_input_open(input, reader);
    }

    // Reads pieces until the stream ends (the last bytes one at a time) or
    // limit_ms pass; *last is the final code (error_end_of_input_stream).
    std::string read_all(size_t piece, int* last, int limit_ms = 5000, long long* longest_read_ms = nullptr)
    {
        std::string out(piece, '\0');
        std::string all;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
        *last = 0;
        while (std::chrono::steady_clock::now() < end) {
            auto start = std::chrono::steady_clock::now();
            int got = melvox::net::network_input_read(input, out.data(), piece);
            long long took =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            if (longest_read_ms != nullptr && took > *longest_read_ms)
                *longest_read_ms = took;
            if (got > 0) {
                all.append(out.data(), size_t(got));
            } else if (got == error_end_of_input_stream && piece > 1) {
                piece = 1;
            } else if (got != error_timeout) {
                *last = got;
                break;
            }
        }
        return all;
    }

    melvox::named_value_list environment;
    list_environment reader{environment};
    recording_reporter reporter;
    melvox::net::network_input* input = nullptr;
};

} // namespace net_test
