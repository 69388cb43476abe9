#include "vexa_program.h"

#include "emulated_programs.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

VexaProgram::VexaProgram(const TempDir& dir, std::vector<std::string> arguments, std::string workDir,
                         std::vector<std::pair<std::string, std::string>> environment)
    : dir(dir)
{
    if (workDir.empty())
        workDir = dir.path();
    pid = fork();
    if (pid == 0) {
        int out = open(dir.file("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(dir.file("stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(workDir.c_str()) != 0)
            _exit(126);
        dup2(out, 1);
        dup2(err, 2);
        for (const auto& [name, value] : environment)
            setProgramEnvironment(name, value);
        std::vector<char*> argv{const_cast<char*>(VEXA_BINARY)};
        for (std::string& a : arguments)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(VEXA_BINARY, argv.data());
        _exit(127);
    }
}

VexaProgram::~VexaProgram()
{
    if (running()) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool VexaProgram::running()
{
    if (status >= 0)
        return false;
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) == pid) {
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return false;
    }
    return true;
}
