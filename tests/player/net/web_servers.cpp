#include "web_servers.h"

#include "loopback_server.h"
#include "socket.h"

#include <chrono>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace melvox::net;

namespace net_test {

scratch_folder::scratch_folder(const std::string& what)
{
    static int count = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("melvox-" + what + "-" + std::to_string(getpid()) + "-" + std::to_string(++count));
    std::filesystem::create_directories(path_);
}

scratch_folder::~scratch_folder()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

bool wait_for_listener(uint16_t port, int ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        socket_handle s = no_socket;
        if (connect_stream("127.0.0.1", port, 200, &s) == 0) {
            close_socket(s);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

real_proxy::real_proxy()
{
    port_ = free_port(false);
    // In the foreground (-d), quiet, for loopback clients only.
    std::ofstream(folder_.path() / "tinyproxy.conf") << "Port " << port_
                                                     << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
                                                        "MaxClients 8\nLogLevel Critical\n";
    server_ = std::make_unique<helper_process>(
        std::vector<std::string>{"/usr/bin/tinyproxy", "-d", "-c", (folder_.path() / "tinyproxy.conf").string()});
    running_ = server_->started() && wait_for_listener(port_, 10000);
}

} // namespace net_test
