// Figures of the player's control channel: the command_ping -> notify_pong
// round trip, the time from player_new to notify_ready, and (Linux) the
// resident memory of an idle decoder process and its feedback process. The
// Windows build measures the same through its threads and window messages.
#include "melvox.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

double microseconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double, std::micro>(clock_type::now() - start).count();
}

struct summary {
    double median, p10, p90;
};

summary summarise(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[static_cast<size_t>(q * static_cast<double>(v.size() - 1))]; };
    return {at(0.5), at(0.1), at(0.9)};
}

bool wait_for(player* p, int code)
{
    player_message m{};
    while (player_wait_message(p, &m, 5000000) == 1)
        if (m.code == static_cast<uint32_t>(code))
            return true;
    return false;
}

#ifdef _WIN32
// The peer for start-up: a bare thread that signals an event, timed until
// the creator has seen it.
DWORD WINAPI signal_started(void* event)
{
    SetEvent(static_cast<HANDLE>(event));
    return 0;
}

std::vector<double> bare_start_times(int count)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        HANDLE started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        auto t0 = clock_type::now();
        HANDLE thread = CreateThread(nullptr, 0, signal_started, started, 0, nullptr);
        if (thread != nullptr && WaitForSingleObject(started, 5000) == WAIT_OBJECT_0)
            times.push_back(microseconds_since(t0));
        if (thread != nullptr) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        CloseHandle(started);
    }
    return times;
}

constexpr const char* bare_peer = "bare thread -> its start event";

// The peer for the round trip: two events between this thread and another
// that answers each signal with one.
struct echo_events {
    HANDLE ping, pong;
    int count;
};

DWORD WINAPI echo_thread(void* data)
{
    auto e = static_cast<echo_events*>(data);
    for (int i = 0; i < e->count && WaitForSingleObject(e->ping, 5000) == WAIT_OBJECT_0; ++i)
        SetEvent(e->pong);
    return 0;
}

std::vector<double> bare_round_trips(int count)
{
    echo_events e{CreateEventA(nullptr, FALSE, FALSE, nullptr), CreateEventA(nullptr, FALSE, FALSE, nullptr), count};
    std::vector<double> times;
    HANDLE thread = CreateThread(nullptr, 0, echo_thread, &e, 0, nullptr);
    for (int i = 0; thread != nullptr && i < count; ++i) {
        auto t0 = clock_type::now();
        SetEvent(e.ping);
        if (WaitForSingleObject(e.pong, 5000) != WAIT_OBJECT_0)
            break;
        times.push_back(microseconds_since(t0));
    }
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    CloseHandle(e.ping);
    CloseHandle(e.pong);
    return times;
}

constexpr const char* bare_trip_peer = "two threads, an event each way";

void report_memory() {}
#else
std::vector<pid_t> children_of(pid_t parent)
{
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    while (proc != nullptr && (errno = 0, true)) {
        dirent* e = readdir(proc);
        if (e == nullptr)
            break;
        pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
            continue;
        std::istringstream rest(line.substr(line.rfind(')') + 1));
        char state;
        pid_t ppid;
        if (rest >> state >> ppid && ppid == parent)
            found.push_back(pid);
    }
    if (proc != nullptr)
        closedir(proc);
    return found;
}

std::string status_line(pid_t pid, const std::string& key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(key + ":", 0) == 0) {
            size_t start = line.find_first_not_of(" \t", key.size() + 1);
            return start == std::string::npos ? "" : line.substr(start);
        }
    return "?";
}

// The peer for start-up: a bare fork whose child writes one byte to a pipe,
// timed until the parent has read it.
std::vector<double> bare_start_times(int count)
{
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        int fds[2];
        if (pipe(fds) != 0)
            break;
        auto t0 = clock_type::now();
        pid_t child = fork();
        if (child == 0) {
            char byte = 1;
            _exit(write(fds[1], &byte, 1) == 1 ? 0 : 1);
        }
        char byte;
        if (child > 0 && read(fds[0], &byte, 1) == 1)
            times.push_back(microseconds_since(t0));
        if (child > 0)
            waitpid(child, nullptr, 0);
        close(fds[0]);
        close(fds[1]);
    }
    return times;
}

constexpr const char* bare_peer = "bare fork -> first byte from the child";

// The peer for the round trip: a child process that writes back each
// 24-byte record it reads, through a pipe each way.
std::vector<double> bare_round_trips(int count)
{
    int to_child[2], from_child[2];
    std::vector<double> times;
    if (pipe(to_child) != 0 || pipe(from_child) != 0)
        return times;
    pid_t child = fork();
    if (child == 0) {
        // At the decoder process's priority, which it asks for the same way.
        (void)!nice(-20);
        close(to_child[1]); // so that the parent's close ends the loop
        close(from_child[0]);
        char record[24];
        while (read(to_child[0], record, sizeof record) == sizeof record)
            if (write(from_child[1], record, sizeof record) != sizeof record)
                break;
        _exit(0);
    }
    close(to_child[0]);
    close(from_child[1]);
    char record[24] = {};
    for (int i = -200; child > 0 && i < count; ++i) { // the first 200 warm up
        auto t0 = clock_type::now();
        if (write(to_child[1], record, sizeof record) != sizeof record ||
            read(from_child[0], record, sizeof record) != sizeof record)
            break;
        if (i >= 0)
            times.push_back(microseconds_since(t0));
    }
    close(to_child[1]);
    close(from_child[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return times;
}

constexpr const char* bare_trip_peer =
    "bare pipe round trip to a child process at the decoder's priority (24-byte record)";

// Memory of the idle sides once they have answered everything.
void report_memory()
{
    usleep(200000);
    std::vector<pid_t> decoders = children_of(getpid());
    std::vector<pid_t> feedbacks = decoders.empty() ? std::vector<pid_t>{} : children_of(decoders[0]);
    if (!decoders.empty())
        std::printf("decoder process %d idle: VmRSS %s (RssAnon %s, RssFile %s)\n", decoders[0],
                    status_line(decoders[0], "VmRSS").c_str(), status_line(decoders[0], "RssAnon").c_str(),
                    status_line(decoders[0], "RssFile").c_str());
    if (!feedbacks.empty())
        std::printf("feedback process %d idle: VmRSS %s\n", feedbacks[0], status_line(feedbacks[0], "VmRSS").c_str());
    std::printf("this (caller) process: VmRSS %s\n", status_line(getpid(), "VmRSS").c_str());
}
#endif

} // namespace

int main(int argc, char** argv)
{
    int pings = argc > 1 ? std::atoi(argv[1]) : 5000;
    int starts = argc > 2 ? std::atoi(argv[2]) : 30;

    // Start-up: player_new until notify_ready is taken.
    std::vector<double> start_times;
    for (int i = 0; i < starts; ++i) {
        player* p = nullptr;
        auto t0 = clock_type::now();
        if (player_new(&p, nullptr) != 0 || !wait_for(p, notify_ready)) {
            std::fprintf(stderr, "player did not start\n");
            return 1;
        }
        start_times.push_back(microseconds_since(t0));
        player_delete(p);
    }

    player* p = nullptr;
    if (player_new(&p, nullptr) != 0 || !wait_for(p, notify_ready))
        return 1;
    std::vector<double> trips;
    for (int i = -200; i < pings; ++i) { // the first 200 warm up
        auto t0 = clock_type::now();
        player_send_message(p, command_ping, i);
        if (!wait_for(p, notify_pong))
            return 1;
        double us = microseconds_since(t0);
        if (!wait_for(p, notify_ack))
            return 1;
        if (i >= 0)
            trips.push_back(us);
    }

    player_sync(p, 5000);

    summary trip = summarise(trips);
    summary start = summarise(start_times);
    summary bare = summarise(bare_start_times(starts));
    std::printf("ping -> pong round trip (%d trips): median %.1f us (p10 %.1f, p90 %.1f)\n", pings, trip.median,
                trip.p10, trip.p90);
    summary bare_trip = summarise(bare_round_trips(pings));
    std::printf("peer: %s (%d trips): median %.1f us (p10 %.1f, p90 %.1f); round trip / peer = %.1f\n", bare_trip_peer,
                pings, bare_trip.median, bare_trip.p10, bare_trip.p90, trip.median / bare_trip.median);
    std::printf("player_new -> notify_ready (%d starts): median %.1f us (p10 %.1f, p90 %.1f)\n", starts, start.median,
                start.p10, start.p90);
    std::printf("peer: %s (%d starts): median %.1f us (p10 %.1f, p90 %.1f); start-up / peer = %.1f\n", bare_peer,
                starts, bare.median, bare.p10, bare.p90, start.median / bare.median);
    report_memory();
    player_delete(p);
    return 0;
}
