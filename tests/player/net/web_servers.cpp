#include "web_servers.h"

#include "loopback_server.h"
#include "socket.h"

#include <chrono>
#include <cstdlib>
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

namespace {

// A CA and two server certificates, EC keys, valid for two days.
const char* make_certificates = R"(set -e
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
openssl req -x509 $key -keyout ca.key -out ca.pem -days 2 -subj "/CN=Melvox test CA" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
for site in site:DNS:melvox.test,IP:127.0.0.1 sni:DNS:sni.test; do
  name=${site%%:*}
  openssl req $key -keyout $name.key -out $name.csr -subj "/CN=$name"
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "${site#*:}" > $name.ext
  openssl x509 -req -in $name.csr -CA ca.pem -CAkey ca.key -set_serial 0x$(openssl rand -hex 8) -days 2 \
    -extfile $name.ext -out $name.pem
done
)";

} // namespace

real_web_server::real_web_server()
{
    const auto& dir = folder_.path();
    std::filesystem::create_directories(dir / "www" / "radio");
    std::ofstream(dir / "certificates.sh") << make_certificates;
    std::string command = "cd '" + dir.string() + "' && sh certificates.sh >certificates.log 2>&1";
    if (std::system(command.c_str()) != 0)
        return;
    http_port_ = free_port(false);
    https_port_ = free_port(false);
    std::string p = std::to_string(http_port_), tls = std::to_string(https_port_), d = dir.string();
    std::ofstream(dir / "nginx.conf")
        << "daemon off;\nmaster_process off;\npid " << d << "/nginx.pid;\nerror_log " << d
        << "/error.log;\nevents { worker_connections 64; }\nhttp {\n"
        << "  access_log off;\n  client_body_temp_path " << d << "/body;\n  proxy_temp_path " << d
        << "/proxy;\n  fastcgi_temp_path " << d << "/fastcgi;\n  uwsgi_temp_path " << d << "/uwsgi;\n  scgi_temp_path "
        << d << "/scgi;\n"
        << "  types { audio/mpeg mp3; audio/x-wav wav; }\n  default_type application/octet-stream;\n"
        << "  server {\n    listen 127.0.0.1:" << p << ";\n    listen 127.0.0.1:" << tls
        << " ssl default_server;\n    ssl_certificate " << d << "/site.pem;\n    ssl_certificate_key " << d
        << "/site.key;\n    root " << d << "/www;\n"
        << "    location /radio/ { add_header icy-metaint 8192; }\n"
        << "    location ~ ^/to-https/(.*)$ { return 302 https://127.0.0.1:" << tls << "/$1; }\n"
        << "    location ~ ^/to-http/(.*)$ { return 302 http://127.0.0.1:" << p << "/$1; }\n  }\n"
        << "  server {\n    listen 127.0.0.1:" << tls << " ssl;\n    server_name sni.test;\n    ssl_certificate " << d
        << "/sni.pem;\n    ssl_certificate_key " << d << "/sni.key;\n    root " << d << "/www;\n  }\n}\n";
    server_ = std::make_unique<helper_process>(std::vector<std::string>{
        "/usr/sbin/nginx", "-p", d, "-e", d + "/error.log", "-c", (dir / "nginx.conf").string()});
    running_ = server_->started() && wait_for_listener(http_port_, 10000) && wait_for_listener(https_port_, 10000);
}

void real_web_server::put(const std::string& name, const std::string& content) const
{
    std::ofstream(folder_.path() / "www" / name, std::ios::binary) << content;
}

std::string real_web_server::http_url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(http_port_) + path;
}

std::string real_web_server::https_url(const std::string& path, const std::string& host) const
{
    return "https://" + host + ":" + std::to_string(https_port_) + path;
}

} // namespace net_test
