#include "transport/posix/process_control_posix.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define MELVOX_LEAK_CHECK 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define MELVOX_LEAK_CHECK 1
#endif
#ifdef MELVOX_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace melvox {

using namespace std::chrono_literals;

namespace {

void close_descriptors(unsigned first, unsigned last)
{
    if (first > last || close_range(first, last, 0) == 0)
        return;
    long long limit = sysconf(_SC_OPEN_MAX);
    for (long long fd = first; fd <= last && fd < limit; ++fd)
        close(static_cast<int>(fd));
}

} // namespace

void keep_only_descriptors(std::initializer_list<int> keep)
{
    std::vector<int> kept(keep);
    std::sort(kept.begin(), kept.end());
    unsigned from = 3;
    for (int fd : kept) {
        if (fd < 3)
            continue;
        if (static_cast<unsigned>(fd) > from)
            close_descriptors(from, static_cast<unsigned>(fd) - 1);
        from = static_cast<unsigned>(fd) + 1;
    }
    close_descriptors(from, ~0u);
}

void reset_signals()
{
    for (int s = 1; s < NSIG; ++s)
        signal(s, s == SIGPIPE || s == SIGINT || s == SIGHUP || s == SIGTERM ? SIG_IGN : SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

void raise_priority(int increment)
{
    errno = 0;
    [[maybe_unused]] int ignored = nice(increment);
}

void reap_child(pid_t child, std::chrono::milliseconds timeout,
                const std::function<void(channel_clock::duration)>& drain)
{
    auto deadline = channel_clock::now() + timeout;
    for (;;) {
        int status;
        pid_t r = waitpid(child, &status, WNOHANG);
        if (r == child || (r < 0 && errno != EINTR))
            return; // ended, or reaped elsewhere
        if (channel_clock::now() >= deadline)
            break;
        drain(std::min<channel_clock::duration>(deadline - channel_clock::now(), 5ms));
    }
    kill(child, SIGKILL);
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void close_all(std::initializer_list<int> fds)
{
    for (int fd : fds)
        if (fd >= 0)
            close(fd);
}

[[noreturn]] void end_child_process()
{
#ifdef MELVOX_LEAK_CHECK
    __lsan_do_leak_check(); // ends the process with its report if anything leaked
#endif
    _exit(0);
}

} // namespace melvox
