// Real web servers that tests start on loopback and stop when they end:
// Debian's tinyproxy as an HTTP proxy, and Debian's nginx serving files over
// http and https with certificates of a CA made for the test by openssl.
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

// nginx on two ports: http on http_port(), TLS on https_port(). Its default
// certificate names melvox.test and 127.0.0.1; for the server name sni.test
// it presents one that names sni.test only, so that a client reaches it only
// by sending that name. Both are signed by the CA in ca_file(). Files put in
// with put() are served from "/"; "/radio/NAME" serves a file with the header
// "icy-metaint: 8192"; "/to-https/NAME" and "/to-http/NAME" redirect to NAME
// over the other scheme.
class real_web_server {
public:
    real_web_server();
    bool running() const { return running_; }
    void put(const std::string& name, const std::string& content) const;
    std::string http_url(const std::string& path) const;
    std::string https_url(const std::string& path, const std::string& host = "127.0.0.1") const;
    std::string ca_file() const { return (folder_.path() / "ca.pem").string(); }

private:
    scratch_folder folder_{"nginx"};
    uint16_t http_port_ = 0, https_port_ = 0;
    std::unique_ptr<helper_process> server_;
    bool running_ = false;
};

} // namespace net_test
