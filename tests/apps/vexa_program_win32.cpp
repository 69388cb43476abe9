#include "vexa_program.h"
#include "windows_command_line.h"

#include <windows.h>

#include <cstring>

namespace {

// A file that the child writes as its standard output or error.
HANDLE inheritableFile(const std::string& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool sameName(const std::string& entry, const std::string& name)
{
    return entry.size() > name.size() && entry[name.size()] == '=' &&
           _strnicmp(entry.c_str(), name.c_str(), name.size()) == 0;
}

// This process's environment with the given variables set: a block of
// NUL-terminated "name=value" strings ending with an empty one.
std::string environmentBlock(const std::vector<std::pair<std::string, std::string>>& changes)
{
    std::string block;
    char* inherited = GetEnvironmentStringsA();
    for (const char* entry = inherited; *entry; entry += std::strlen(entry) + 1) {
        bool replaced = false;
        for (const auto& change : changes)
            replaced = replaced || sameName(entry, change.first);
        if (!replaced)
            block.append(entry).push_back('\0');
    }
    FreeEnvironmentStringsA(inherited);
    for (const auto& [name, value] : changes)
        block.append(name + "=" + value).push_back('\0');
    block.push_back('\0');
    return block;
}

} // namespace

VexaProgram::VexaProgram(const TempDir& dir, std::vector<std::string> arguments, std::string workDir,
                         std::vector<std::pair<std::string, std::string>> environment)
    : dir(dir)
{
    if (workDir.empty())
        workDir = dir.path();
    arguments.insert(arguments.begin(), VEXA_BINARY);
    std::string commandLine = windowsCommandLine(arguments);
    std::string block = environmentBlock(environment);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = inheritableFile(dir.file("stdout.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = inheritableFile(dir.file("stderr.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION started{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, block.data(), workDir.c_str(), &startup,
                       &started)) {
        process = started.hProcess;
        pid = started.dwProcessId;
        CloseHandle(started.hThread);
    } else {
        status = 127;
    }
    for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
}

VexaProgram::~VexaProgram()
{
    if (running()) {
        TerminateProcess(process, 137);
        WaitForSingleObject(process, INFINITE);
    }
    if (process != nullptr)
        CloseHandle(process);
}

bool VexaProgram::running()
{
    if (status >= 0)
        return false;
    DWORD code = 0;
    if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code)) {
        status = static_cast<int>(code);
        return false;
    }
    return true;
}
