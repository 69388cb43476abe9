// A build without a TLS library (the Windows build): https:// is refused.
#include "tls.h"

#include "melvox.h"
#include "net_reporter.h"

namespace melvox::net {

bool tls_available()
{
    return false;
}

int tls_start(socket_handle, const std::string&, const std::string&, int, net_reporter& reporter,
              std::unique_ptr<tls_session>*)
{
    reporter.message(0, "https is not supported by this build", "");
    return error_unsupported_url_scheme;
}

} // namespace melvox::net
