// Runs the real demo program (VEXA_BINARY, defined by the test target) in a
// scratch directory, as a user would. The process handling is per platform:
// vexa_program_posix.cpp and vexa_program_win32.cpp.
#pragma once

#include "temp_dir.h"

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef _WIN32
using ProcessId = unsigned long;
#else
#include <sys/types.h>
using ProcessId = pid_t;
#endif

class VexaProgram {
public:
    // Runs the demo in workDir (by default the scratch directory, where its
    // console output is kept in any case).
    // environment: variables set for the program only.
    VexaProgram(const TempDir& dir, std::vector<std::string> arguments, std::string workDir = {},
                std::vector<std::pair<std::string, std::string>> environment = {});
    // Kills the program if it still runs.
    ~VexaProgram();
    VexaProgram(const VexaProgram&) = delete;
    VexaProgram& operator=(const VexaProgram&) = delete;

    bool running();
    // The exit status, or -1 if it still runs after the limit.
    int wait(std::chrono::seconds limit)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return status;
    }
    ProcessId id() const { return pid; }
    std::string out() const { return readFile(dir.file("stdout.txt")); }
    std::string err() const { return readFile(dir.file("stderr.txt")); }

private:
    const TempDir& dir;
    ProcessId pid = 0;
    void* process = nullptr; // the process handle on Windows
    int status = -1;         // the exit status once it has ended
};
