// TLS sessions through GnuTLS on a blocking socket: waits use poll on the
// socket unless GnuTLS holds decrypted bytes already, and a record that
// arrives in pieces is bounded by the record time-out.
#include "tls.h"

#include "melvox.h"
#include "net_reporter.h"

#include "gnutls_library.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>

namespace melvox::net {

namespace {

// The shortest wait for the rest of a record that has begun to arrive.
constexpr int record_piece_ms = 100;

// A host that is an IPv4 or IPv6 address is never sent as a server name.
bool is_address(const std::string& host)
{
    return host.find_first_not_of("0123456789.") == std::string::npos || host.find(':') != std::string::npos;
}

// Sends never raise SIGPIPE at a peer that went away.
ssize_t push(gnutls_transport_ptr_t transport, const void* data, size_t size)
{
    return send(int(reinterpret_cast<intptr_t>(transport)), data, size, MSG_NOSIGNAL);
}

using shared_credentials = std::shared_ptr<gnutls_certificate_credentials_st>;

// The trusted certificates, loaded once and shared by later sessions while
// the CA file stays the same: reading the system's store takes tens of
// milliseconds, which every https connection and redirect would wait for.
int trusted_credentials(const gnutls_library* gnutls, const std::string& ca_file, net_reporter& reporter,
                        shared_credentials* out)
{
    static std::mutex lock;
    static std::string cached_file;
    static shared_credentials cached;
    std::lock_guard hold(lock);
    if (cached && cached_file == ca_file) {
        *out = cached;
        return 0;
    }
    gnutls_certificate_credentials_t raw = nullptr;
    if (gnutls->gnutls_certificate_allocate_credentials(&raw) < 0)
        return error_out_of_memory;
    shared_credentials credentials(raw, gnutls->gnutls_certificate_free_credentials);
    // A machine without a trust store can still trust the extra CA file.
    gnutls->gnutls_certificate_set_x509_system_trust(raw);
    if (!ca_file.empty() &&
        gnutls->gnutls_certificate_set_x509_trust_file(raw, ca_file.c_str(), GNUTLS_X509_FMT_PEM) <= 0) {
        reporter.message(0, "cannot read the CA file", ca_file.c_str());
        return error_tls_failed;
    }
    cached_file = ca_file;
    cached = credentials;
    *out = std::move(credentials);
    return 0;
}

class gnutls_tls_session : public tls_session {
public:
    explicit gnutls_tls_session(const gnutls_library* gnutls) : gnutls(gnutls) {}

    ~gnutls_tls_session() override
    {
        if (session_ != nullptr)
            gnutls->gnutls_deinit(session_);
    }

    int start(socket_handle s, const std::string& host, const std::string& ca_file, int time_ms, net_reporter& reporter)
    {
        socket_ = s;
        if (int r = trusted_credentials(gnutls, ca_file, reporter, &credentials_); r < 0)
            return r;
        if (gnutls->gnutls_init(&session_, GNUTLS_CLIENT) < 0)
            return error_out_of_memory;
        if (!is_address(host))
            gnutls->gnutls_server_name_set(session_, GNUTLS_NAME_DNS, host.data(), host.size());
        gnutls->gnutls_session_set_verify_cert(session_, host.c_str(), 0);
        if (gnutls->gnutls_set_default_priority(session_) < 0 ||
            gnutls->gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials_.get()) < 0)
            return error_tls_failed;
        gnutls->gnutls_transport_set_int2(session_, int(s), int(s));
        gnutls->gnutls_transport_set_push_function(session_, push);
        gnutls->gnutls_handshake_set_timeout(session_, time_ms < 0 ? 0 : unsigned(std::max(time_ms, 1)));
        int result;
        do {
            result = gnutls->gnutls_handshake(session_);
        } while (result < 0 && gnutls->gnutls_error_is_fatal(result) == 0);
        if (result == 0)
            return 0;
        if (result == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) {
            gnutls_datum_t text{};
            unsigned status = gnutls->gnutls_session_get_verify_cert_status(session_);
            gnutls->gnutls_certificate_verification_status_print(status, GNUTLS_CRT_X509, &text, 0);
            reporter.message(0, "certificate not trusted", text.data != nullptr ? (const char*)text.data : "");
            gnutls->free(text.data);
            return error_certificate_not_trusted;
        }
        reporter.message(0, "tls handshake failed", gnutls->gnutls_strerror(result));
        return result == GNUTLS_E_TIMEDOUT ? error_timeout : error_tls_failed;
    }

    int receive(void* buffer, size_t size, int time_ms) override
    {
        if (gnutls->gnutls_record_check_pending(session_) == 0) {
            pollfd p{int(socket_), POLLIN, 0};
            int ready;
            do {
                ready = poll(&p, 1, time_ms);
            } while (ready < 0 && errno == EINTR);
            if (ready < 0)
                return error_select_failed;
            if (ready == 0)
                return error_timeout;
        }
        gnutls->gnutls_record_set_timeout(session_, unsigned(time_ms < 0 ? 0 : std::max(time_ms, record_piece_ms)));
        for (;;) {
            ssize_t got = gnutls->gnutls_record_recv(session_, buffer, std::min<size_t>(size, INT_MAX));
            if (got > 0)
                return int(got);
            if (got == 0 || got == GNUTLS_E_PREMATURE_TERMINATION)
                return error_socket_closed;
            if (got == GNUTLS_E_TIMEDOUT)
                return error_timeout;
            if (got != GNUTLS_E_AGAIN && got != GNUTLS_E_INTERRUPTED)
                return error_read_failed;
        }
    }

    int send_all(const void* data, size_t size) override
    {
        auto bytes = static_cast<const char*>(data);
        while (size > 0) {
            ssize_t sent = gnutls->gnutls_record_send(session_, bytes, size);
            if (sent == GNUTLS_E_AGAIN || sent == GNUTLS_E_INTERRUPTED)
                continue;
            if (sent <= 0)
                return error_write_failed;
            bytes += sent;
            size -= size_t(sent);
        }
        return 0;
    }

private:
    const gnutls_library* gnutls;
    socket_handle socket_ = no_socket;
    shared_credentials credentials_; // outlives the session, which uses them
    gnutls_session_t session_ = nullptr;
};

} // namespace

bool tls_available()
{
    return true;
}

int tls_start(socket_handle s, const std::string& host, const std::string& ca_file, int time_ms, net_reporter& reporter,
              std::unique_ptr<tls_session>* out)
{
    const char* why = nullptr;
    const gnutls_library* gnutls = load_gnutls(&why);
    if (gnutls == nullptr) {
        reporter.message(0, "cannot load GnuTLS", why);
        return error_tls_failed;
    }
    auto session = std::make_unique<gnutls_tls_session>(gnutls);
    int result = session->start(s, host, ca_file, time_ms, reporter);
    if (result < 0)
        return result;
    *out = std::move(session);
    return 0;
}

} // namespace melvox::net
