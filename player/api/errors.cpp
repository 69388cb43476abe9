// The fixed texts of the library's error codes.
#include "melvox.h"

#include <array>

namespace {

// Texts of one group of a hundred codes, indexed by (-code) % 100.
struct error_group {
    const char* const* texts;
    int count;
};

constexpr const char* general[] = {
    "out of memory", "out of resources", "invalid parameters", "internal error", "timeout", "", "version mismatch"};
constexpr const char* network[] = {
    "connect timed out",      "connect failed",     "connection refused", "accept failed",
    "listen failed",          "socket failed",      "socket closed",      "bind failed",
    "host unknown",           "invalid http reply", "http error reply",   "http error",
    "invalid ftp reply",      "ftp error reply",    "ftp error",          "tls failed",
    "certificate not trusted"};
constexpr const char* channel[] = {"pipe failed",      "fork failed",       "select failed",   "pipe closed",
                                   "pipe read failed", "pipe write failed", "invalid message", "circular queue full",
                                   "post failed",      "player side ended"};
constexpr const char* addresses[] = {"unsupported url scheme", "invalid url syntax"};
constexpr const char* devices[] = {"open failed",
                                   "close failed",
                                   "read failed",
                                   "write failed",
                                   "permission denied",
                                   "no such device",
                                   "ioctl failed",
                                   "plugin module not found",
                                   "unsupported input type",
                                   "unsupported output type",
                                   "unsupported format",
                                   "device busy",
                                   "no such device",
                                   "no such file",
                                   "end of input stream"};
constexpr const char* codec_selection[] = {"no codec found for this stream"};
constexpr const char* stream_data[] = {"invalid frame", "no audio found in the stream"};
constexpr const char* loading[] = {"library not found", "symbol not found"};
constexpr const char* values[] = {"no such property or environment variable",
                                  "invalid property or environment variable type"};
constexpr const char* interfaces[] = {"no such interface"};

template <size_t n>
constexpr error_group group(const char* const (&texts)[n])
{
    return {texts, static_cast<int>(n)};
}

// Index 0 is unused: codes -1..-99 belong to no group.
constexpr std::array<error_group, 11> groups = {
    error_group{nullptr, 0}, group(general),     group(network), group(channel), group(addresses), group(devices),
    group(codec_selection),  group(stream_data), group(loading), group(values),  group(interfaces)};

} // namespace

extern "C" const char* error_string(int code)
{
    if (code >= 0)
        return "";
    long long magnitude = -static_cast<long long>(code);
    long long group_index = magnitude / 100;
    if (group_index <= 0 || group_index >= static_cast<long long>(groups.size()))
        return "unknown error";
    const error_group& g = groups[group_index];
    long long entry = magnitude % 100;
    return entry < g.count ? g.texts[entry] : "";
}
