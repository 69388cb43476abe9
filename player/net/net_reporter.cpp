#include "net_reporter.h"

namespace melvox::net {

void net_reporter::progress(int, int, const char*) {}
void net_reporter::message(int, const char*, const char*) {}
void net_reporter::error(int, const char* message, const char* detail)
{
    this->message(0, message, detail);
}
void net_reporter::property(const char*, const char*) {}

net_reporter& silent_reporter()
{
    static net_reporter silent;
    return silent;
}

} // namespace melvox::net
