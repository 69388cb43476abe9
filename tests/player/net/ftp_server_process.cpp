#include "ftp_server_process.h"

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace net_test {

real_ftp_server::real_ftp_server(const std::string& file_name, std::string content, const std::string& folder)
    : content_(std::move(content))
{
    static int count = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("melvox-ftp-" + std::to_string(getpid()) + "-" + std::to_string(++count));
    std::filesystem::create_directories(root_ / folder);
    std::ofstream(root_ / folder / file_name, std::ios::binary) << content_;
    server_ = std::make_unique<helper_process>(
        std::vector<std::string>{"/usr/bin/python3", FTP_SERVER_SCRIPT, root_.string(), "joe", "secret"});
    // The port arrives on the first line; allow the interpreter 10 s.
    port_ = std::atoi(server_->first_line(10000).c_str());
}

real_ftp_server::~real_ftp_server()
{
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string real_ftp_server::url(const std::string& path, const std::string& user) const
{
    return "ftp://" + user + "127.0.0.1:" + std::to_string(port_) + path;
}

} // namespace net_test
