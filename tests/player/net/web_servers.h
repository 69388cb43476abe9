// Real web servers that tests start on loopback and stop when they end:
// Debian's tinyproxy as an HTTP proxy.
#pragma once

#include "helper_process.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace net_test {

// A folder of its own under the temporary directory, removed with the object.
class scratch_folder {
public:
    explicit scratch_folder(const std::string& what);
    ~scratch_folder();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Waits up to ms for something to accept connections on 127.0.0.1:port.
bool wait_for_listener(uint16_t port, int ms);

class real_proxy {
public:
    real_proxy();
    bool running() const { return running_; }
    uint16_t port() const { return port_; }

private:
    scratch_folder folder_{"tinyproxy"};
    uint16_t port_ = 0;
    std::unique_ptr<helper_process> server_;
    bool running_ = false;
};

} // namespace net_test
