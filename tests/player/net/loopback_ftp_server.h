// A small FTP server on 127.0.0.1 written on the loopback server: it serves
// one file to "anonymous" (any password) and to one named user with a
// password, in active (PORT) and passive (PASV) mode, and names the file's
// size as "(N bytes)" in its 150 reply. It needs no program of its own, so
// it serves on every platform.
#pragma once

#include "loopback_server.h"

#include <atomic>
#include <string>

namespace net_test {

class loopback_ftp_server {
public:
    // Serves up to connections control connections, one after another.
    loopback_ftp_server(std::string file_name, std::string content, int connections = 1);

    // user: "" or "name:password@".
    std::string url(const std::string& path, const std::string& user = "") const;
    const std::string& content() const { return content_; }
    // The commands received, in order.
    std::vector<std::string> commands() const { return server_.recorded(); }
    // Waits up to 5 s until every client that connected has hung up its
    // control connection; false when one still holds it.
    bool wait_for_hang_up() const;

    static constexpr const char* user_name = "joe";
    static constexpr const char* password = "secret";

private:
    void converse(peer& control);

    std::string file_name_;
    std::string content_;
    std::atomic<int> finished_{0};
    loopback_server server_;
};

} // namespace net_test
