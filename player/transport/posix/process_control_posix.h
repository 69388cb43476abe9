// What the Linux transport does with its child processes.
#pragma once

#include "transport/posix/pipe_frames_posix.h"

#include <chrono>
#include <functional>
#include <initializer_list>

#include <sys/types.h>

namespace melvox {

// A child keeps only the descriptors it uses (and standard input, output and
// error): nothing of the caller's (its files, sockets, display connection,
// other players' pipes) stays open in it.
void keep_only_descriptors(std::initializer_list<int> keep);

// A child starts with default signal handling (the caller's handlers are not
// its own) and ignores SIGPIPE, so a peer that has gone is a write error. It
// ignores SIGINT, SIGHUP and SIGTERM too, which a terminal or a service
// manager sends to the whole process group: the caller decides what they
// mean (a player may still finish its output file), and a child ends when its
// caller has gone.
void reset_signals();

// Asks for a higher scheduling priority; without the privilege it stays.
void raise_priority(int increment);

// Waits up to timeout for child to end, then ends it by force; reaps it.
// drain(at most) is called between checks; it may keep the child from
// blocking on a full pipe, and must return within the time it is given.
void reap_child(pid_t child, std::chrono::milliseconds timeout,
                const std::function<void(channel_clock::duration)>& drain);

void close_all(std::initializer_list<int> fds);

// Ends a side's process once its loop has returned, without the caller's exit
// handlers (they belong to the caller's copy). A build with LeakSanitizer
// checks that process's leaks first, as the end of any other program does.
[[noreturn]] void end_child_process();

} // namespace melvox
