// A program that a test starts (a real server or a source client) and stops
// with SIGTERM when the test ends.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace net_test {

class helper_process {
public:
    // Starts argv[0] (a full path) with its standard output on a pipe.
    explicit helper_process(const std::vector<std::string>& argv);
    ~helper_process();
    helper_process(const helper_process&) = delete;
    helper_process& operator=(const helper_process&) = delete;

    bool started() const { return pid_ > 0; }
    // The first line of standard output, waiting at most ms.
    std::string first_line(int ms);

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

} // namespace net_test
