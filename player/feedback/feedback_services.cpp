// The services that the feedback side gives its handler modules: its
// environment and posting to the caller.
#include "feedback/feedback_side.h"

namespace melvox {
namespace {

feedback_side& of(::feedback_side* side)
{
    return *side;
}

int service_get_integer(::feedback_side* s, const char* name, int32_t* value)
{
    return s == nullptr ? error_invalid_parameters : of(s).environment.get_integer(name, value);
}

int service_get_string(::feedback_side* s, const char* name, char* buffer, uint32_t size)
{
    return s == nullptr ? error_invalid_parameters : of(s).environment.get_string(name, buffer, size);
}

int service_watch(::feedback_side* s, const char* name, player_watch_function f, void* user, void** watcher)
{
    return s == nullptr ? error_invalid_parameters : of(s).environment.watch_handle(name, f, user, watcher);
}

int service_unwatch(::feedback_side* s, void* watcher)
{
    return s == nullptr ? error_invalid_parameters : of(s).environment.unwatch_handle(watcher);
}

int service_post(::feedback_side* s, const player_message* m)
{
    return s == nullptr || m == nullptr ? error_invalid_parameters : of(s).channel.post(*m);
}

} // namespace

feedback_services feedback_service_table()
{
    return {service_get_integer, service_get_string, service_watch, service_unwatch, service_post};
}

} // namespace melvox
