// TLS for "https:" URLs: a client session over a connected socket that
// verifies the server's certificate against the system's trust store (and an
// extra CA file for private servers) and its name against the URL's host,
// which it also names to the server (SNI). Builds without a TLS library
// refuse every session.
#pragma once

#include "socket.h"

#include <cstddef>
#include <memory>
#include <string>

namespace melvox::net {

class net_reporter;

// Whether this build can open https:// URLs.
bool tls_available();

class tls_session {
public:
    virtual ~tls_session() = default;
    // As receive on a socket: the count, error_timeout, error_socket_closed
    // at the peer's end, error_read_failed.
    virtual int receive(void* buffer, size_t size, int time_ms) = 0;
    // Every byte, or error_write_failed.
    virtual int send_all(const void* data, size_t size) = 0;
};

// Runs the handshake on s for host within time_ms. Errors:
// error_certificate_not_trusted (the chain or the name does not verify),
// error_tls_failed (the handshake or the CA file failed), error_timeout,
// error_unsupported_url_scheme in a build without TLS; each is reported
// with its reason at level 0. The session does not own s.
int tls_start(socket_handle s, const std::string& host, const std::string& ca_file, int time_ms, net_reporter& reporter,
              std::unique_ptr<tls_session>* out);

} // namespace melvox::net
