// GnuTLS, loaded when the first https:// session starts rather than with
// every program that links the player: the library and the eight it needs
// cost a few milliseconds of start-up to every process, most of which never
// open an https URL.
#pragma once

#include <gnutls/gnutls.h>

namespace melvox::net {

// The GnuTLS functions the TLS sessions use, named as in GnuTLS.
#define MELVOX_GNUTLS_FUNCTIONS(X)                                                                                     \
    X(gnutls_certificate_allocate_credentials)                                                                         \
    X(gnutls_certificate_free_credentials)                                                                             \
    X(gnutls_certificate_set_x509_system_trust)                                                                        \
    X(gnutls_certificate_set_x509_trust_file)                                                                          \
    X(gnutls_certificate_verification_status_print)                                                                    \
    X(gnutls_credentials_set)                                                                                          \
    X(gnutls_deinit)                                                                                                   \
    X(gnutls_error_is_fatal)                                                                                           \
    X(gnutls_handshake)                                                                                                \
    X(gnutls_handshake_set_timeout)                                                                                    \
    X(gnutls_init)                                                                                                     \
    X(gnutls_record_check_pending)                                                                                     \
    X(gnutls_record_recv)                                                                                              \
    X(gnutls_record_send)                                                                                              \
    X(gnutls_record_set_timeout)                                                                                       \
    X(gnutls_server_name_set)                                                                                          \
    X(gnutls_session_get_verify_cert_status)                                                                           \
    X(gnutls_session_set_verify_cert)                                                                                  \
    X(gnutls_set_default_priority)                                                                                     \
    X(gnutls_strerror)                                                                                                 \
    X(gnutls_transport_set_int2)                                                                                       \
    X(gnutls_transport_set_push_function)

struct gnutls_library {
#define MELVOX_GNUTLS_POINTER(name) decltype(&::name) name;
    MELVOX_GNUTLS_FUNCTIONS(MELVOX_GNUTLS_POINTER)
#undef MELVOX_GNUTLS_POINTER
    void (*free)(void*);
};

// The loaded library, or null when it cannot be loaded (then why is set to
// the loader's reason). Loaded once; it stays loaded.
const gnutls_library* load_gnutls(const char** why);

} // namespace melvox::net
