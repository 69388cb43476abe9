// Debian's pyftpdlib under Debian's own interpreter, serving one file from a
// folder of its own (users "anonymous" and joe/secret), or from the home
// folder "home/amy" in it where the user amy/pw starts; stopped when the
// test ends.
#pragma once

#include "helper_process.h"

#include <filesystem>
#include <memory>
#include <string>

namespace net_test {

class real_ftp_server {
public:
    real_ftp_server(const std::string& file_name, std::string content, const std::string& folder = "");
    ~real_ftp_server();

    bool running() const { return server_->started() && port_ > 0; }
    // user: "" or "name:password@".
    std::string url(const std::string& path, const std::string& user = "") const;
    const std::string& content() const { return content_; }

private:
    std::filesystem::path root_;
    std::string content_;
    std::unique_ptr<helper_process> server_;
    int port_ = 0;
};

} // namespace net_test
