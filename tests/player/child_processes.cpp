#include "child_processes.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The state and parent of a process from /proc/PID/stat; false when gone.
bool readStat(pid_t pid, char& state, pid_t& parent)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    // "pid (name) state ppid ...": the name may hold spaces and parentheses.
    size_t close = line.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream rest(line.substr(close + 1));
    return static_cast<bool>(rest >> state >> parent);
}

} // namespace

char processState(pid_t pid)
{
    char state;
    pid_t parent;
    return readStat(pid, state, parent) ? state : 0;
}

std::vector<pid_t> childProcesses()
{
    return childProcesses(getpid());
}

std::vector<pid_t> childProcesses(pid_t of)
{
    std::vector<pid_t> children;
    DIR* proc = opendir("/proc");
    if (proc == nullptr)
        return children;
    while (dirent* e = readdir(proc)) {
        char* end;
        long pid = std::strtol(e->d_name, &end, 10);
        if (*end != '\0' || pid <= 0)
            continue;
        char state;
        pid_t parent;
        if (readStat(static_cast<pid_t>(pid), state, parent) && parent == of)
            children.push_back(static_cast<pid_t>(pid));
    }
    closedir(proc);
    return children;
}
