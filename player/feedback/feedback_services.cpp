// The services that the feedback side gives its handler modules: its
// environment and posting to the caller.
#include "feedback/feedback_side.h"

#include <cstring>

namespace melvox {
namespace {

feedback_side& of(::feedback_side* side)
{
    return *side;
}

int copy_out(const char* value, char* buffer, uint32_t size)
{
    if (buffer == nullptr || size == 0)
        return error_invalid_parameters;
    std::strncpy(buffer, value, size - 1);
    buffer[size - 1] = '\0';
    return 0;
}

int service_get_integer(::feedback_side* s, const char* name, int32_t* value)
{
    return s == nullptr ? error_invalid_parameters : of(s).environment.get_integer(name, value);
}

int service_get_string(::feedback_side* s, const char* name, char* buffer, uint32_t size)
{
    if (s == nullptr)
        return error_invalid_parameters;
    const char* value;
    if (int r = of(s).environment.get_string(name, &value); r < 0)
        return r;
    return copy_out(value, buffer, size);
}

int service_watch(::feedback_side* s, const char* name, player_watch_function f, void* user, void** watcher)
{
    if (s == nullptr || watcher == nullptr)
        return error_invalid_parameters;
    named_value_list::watcher* w = nullptr;
    int r = of(s).environment.watch(name, f, user, &w);
    if (r >= 0)
        *watcher = w;
    return r;
}

int service_unwatch(::feedback_side* s, void* watcher)
{
    return s == nullptr ? error_invalid_parameters
                        : of(s).environment.unwatch(static_cast<named_value_list::watcher*>(watcher));
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
