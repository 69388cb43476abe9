// Processes of a parent (zombies included), by /proc.
#pragma once

#include <sys/types.h>

#include <vector>

std::vector<pid_t> childProcesses(pid_t parent);
std::vector<pid_t> childProcesses();

// The state letter of a process ('R', 'S', 'Z' ...), or 0 when it is gone.
char processState(pid_t pid);
