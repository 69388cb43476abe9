// The services that the decoder offers to its modules.
#include "decoder/decoder.h"
#include "decoder/pipeline.h"

#include <cstdio>
#include <cstring>

namespace melvox {
namespace {

player_decoder& of(decoder* d)
{
    return *static_cast<player_decoder*>(d);
}

player_decoder& of_data(void* data)
{
    return *static_cast<player_decoder*>(static_cast<decoder*>(data));
}

int report_progress(void* data, int source, int code, int value, const char* text)
{
    return of_data(data).notify(make_notify_progress(static_cast<uint8_t>(source), static_cast<uint8_t>(code),
                                                     static_cast<uint16_t>(value), text));
}

int report_message(void* data, int source, int level, const char* message, const char* detail)
{
    player_decoder& d = of_data(data);
    if (level > d.settings.debug_level)
        return 0;
    char text[1024];
    if (detail != nullptr && detail[0] != '\0')
        std::snprintf(text, sizeof text, "%s (%s)", message != nullptr ? message : "", detail);
    else
        std::snprintf(text, sizeof text, "%s", message != nullptr ? message : "");
    return d.notify(make_notify_debug(static_cast<uint8_t>(source), static_cast<uint8_t>(level), text));
}

int report_error(void* data, int source, int code, const char* message, const char* detail)
{
    char text[1024];
    if (detail != nullptr && detail[0] != '\0')
        std::snprintf(text, sizeof text, "%s (%s)", message != nullptr ? message : "", detail);
    else
        std::snprintf(text, sizeof text, "%s", message != nullptr ? message : "");
    return of_data(data).notify(make_notify_error(static_cast<uint8_t>(source), static_cast<int16_t>(code), text));
}

int report_module_event(void* data, int source, int type, const void* block, uint32_t size)
{
    return of_data(data).notify(make_notify_module_event(static_cast<uint8_t>(source), static_cast<int16_t>(type),
                                                         block, block != nullptr ? size : 0));
}

int input_read(decoder* d, void* buffer, uint32_t size)
{
    if (d == nullptr || (buffer == nullptr && size != 0))
        return error_invalid_parameters;
    return read_input(of(d), buffer, size);
}

int input_seek(decoder* d, uint32_t offset)
{
    if (d == nullptr)
        return error_invalid_parameters;
    return seek_offset(of(d), offset);
}

int codec_flush(decoder* d)
{
    if (d == nullptr)
        return error_invalid_parameters;
    player_decoder& p = of(d);
    if (!p.input_is_open())
        return p.internal_error("input not open");
    if (p.codec.instance == nullptr || p.codec.entry->table.codec.flush == nullptr)
        return 0;
    return p.codec.entry->table.codec.flush(p.codec.instance);
}

// Copies a stored string into a caller's buffer of size bytes.
int copy_out(const char* value, char* buffer, uint32_t size)
{
    if (buffer == nullptr || size == 0)
        return error_invalid_parameters;
    std::strncpy(buffer, value, size - 1);
    buffer[size - 1] = '\0';
    return 0;
}

int property_changed(player_decoder& p, int r)
{
    if (r >= 0)
        p.stream.info.flags |= stream_properties_changed;
    return r;
}

int property_set_integer(decoder* d, const char* name, int32_t value)
{
    if (d == nullptr)
        return error_invalid_parameters;
    return property_changed(of(d), of(d).properties.set_integer(name, value));
}

int property_get_integer(decoder* d, const char* name, int32_t* value)
{
    return d == nullptr ? error_invalid_parameters : of(d).properties.get_integer(name, value);
}

int property_set_string(decoder* d, const char* name, const char* value)
{
    if (d == nullptr)
        return error_invalid_parameters;
    return property_changed(of(d), of(d).properties.set_string(name, value));
}

int property_get_string(decoder* d, const char* name, char* buffer, uint32_t size)
{
    if (d == nullptr)
        return error_invalid_parameters;
    const char* value;
    if (int r = of(d).properties.get_string(name, &value); r < 0)
        return r;
    return copy_out(value, buffer, size);
}

int property_remove(decoder* d, const char* name)
{
    if (d == nullptr)
        return error_invalid_parameters;
    return property_changed(of(d), of(d).properties.unset(name));
}

int environment_set_integer(decoder* d, const char* name, int32_t value)
{
    return d == nullptr ? error_invalid_parameters : of(d).environment.set_integer(name, value);
}

int environment_get_integer(decoder* d, const char* name, int32_t* value)
{
    return d == nullptr ? error_invalid_parameters : of(d).environment.get_integer(name, value);
}

int environment_set_string(decoder* d, const char* name, const char* value)
{
    return d == nullptr ? error_invalid_parameters : of(d).environment.set_string(name, value);
}

int environment_get_string(decoder* d, const char* name, char* buffer, uint32_t size)
{
    if (d == nullptr)
        return error_invalid_parameters;
    const char* value;
    if (int r = of(d).environment.get_string(name, &value); r < 0)
        return r;
    return copy_out(value, buffer, size);
}

int environment_unset(decoder* d, const char* name)
{
    return d == nullptr ? error_invalid_parameters : of(d).environment.unset(name);
}

int environment_watch(decoder* d, const char* name, player_watch_function function, void* user_data, void** watcher)
{
    if (d == nullptr || watcher == nullptr)
        return error_invalid_parameters;
    named_value_list::watcher* w = nullptr;
    int r = of(d).environment.watch(name, function, user_data, &w);
    if (r >= 0)
        *watcher = w;
    return r;
}

int environment_unwatch(decoder* d, void* watcher)
{
    if (d == nullptr)
        return error_invalid_parameters;
    return of(d).environment.unwatch(static_cast<named_value_list::watcher*>(watcher));
}

} // namespace

void install_services(player_decoder& d)
{
    decoder_services& s = d.services;
    s.report_data = static_cast<decoder*>(&d);
    s.report_progress = report_progress;
    s.report_message = report_message;
    s.report_error = report_error;
    s.report_module_event = report_module_event;
    s.reserved = 0;
    s.input_read = input_read;
    s.input_seek = input_seek;
    s.codec_flush = codec_flush;
    s.property_set_integer = property_set_integer;
    s.property_get_integer = property_get_integer;
    s.property_set_string = property_set_string;
    s.property_get_string = property_get_string;
    s.property_remove = property_remove;
    s.environment_set_integer = environment_set_integer;
    s.environment_get_integer = environment_get_integer;
    s.environment_set_string = environment_set_string;
    s.environment_get_string = environment_get_string;
    s.environment_unset = environment_unset;
    s.environment_watch = environment_watch;
    s.environment_unwatch = environment_unwatch;
}

} // namespace melvox
