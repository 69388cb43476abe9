#include "program_runner.h"

#include <windows.h>

#include <thread>
#include <vector>

namespace {

// Collects what arrives on a pipe until its writer closes it.
void drain(HANDLE pipe, std::string* into)
{
    char block[4096];
    DWORD got = 0;
    while (ReadFile(pipe, block, sizeof block, &got, nullptr) && got > 0)
        into->append(block, got);
}

} // namespace

int run_program(const std::string& command_line, const std::string& directory, std::string* out, std::string* err,
                int limit_ms)
{
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE out_read = nullptr, out_write = nullptr, err_read = nullptr, err_write = nullptr;
    if (!CreatePipe(&out_read, &out_write, &inherited, 0))
        return -1;
    if (!CreatePipe(&err_read, &err_write, &inherited, 0)) {
        CloseHandle(out_read);
        CloseHandle(out_write);
        return -1;
    }
    // Only the child's ends are inherited; the test keeps the reading ends.
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(err_read, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0,
                                 nullptr);

    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = nothing;
    start.hStdOutput = out_write;
    start.hStdError = err_write;
    PROCESS_INFORMATION process{};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  directory.empty() ? nullptr : directory.c_str(), &start, &process);
    CloseHandle(out_write);
    CloseHandle(err_write);
    if (nothing != INVALID_HANDLE_VALUE)
        CloseHandle(nothing);

    std::string out_bytes, err_bytes;
    std::thread out_reader(drain, out_read, &out_bytes);
    std::thread err_reader(drain, err_read, &err_bytes);
    int code = -1;
    if (started) {
        if (WaitForSingleObject(process.hProcess, DWORD(limit_ms)) == WAIT_OBJECT_0) {
            DWORD exit_code = 0;
            if (GetExitCodeProcess(process.hProcess, &exit_code))
                code = int(exit_code);
        } else {
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    out_reader.join();
    err_reader.join();
    CloseHandle(out_read);
    CloseHandle(err_read);
    if (out != nullptr)
        *out = out_bytes;
    if (err != nullptr)
        *err = err_bytes;
    return code;
}

std::string unix_line_ends(const std::string& text)
{
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            lines += text[i];
    return lines;
}
