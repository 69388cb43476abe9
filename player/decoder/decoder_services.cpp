// The services that the decoder offers to its modules.
#include "decoder/decoder.h"
#include "decoder/pipeline.h"

#include <cstdio>
#include <new>

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

// "message (detail)", or "message" when the detail is empty.
struct report_text {
    report_text(const char* message, const char* detail)
    {
        if (detail != nullptr && detail[0] != '\0')
            std::snprintf(text, sizeof text, "%s (%s)", message != nullptr ? message : "", detail);
        else
            std::snprintf(text, sizeof text, "%s", message != nullptr ? message : "");
    }
    char text[1024];
};

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
    report_text text(message, detail);
    return d.notify(make_notify_debug(static_cast<uint8_t>(source), static_cast<uint8_t>(level), text.text));
}

int report_error(void* data, int source, int code, const char* message, const char* detail)
{
    report_text text(message, detail);
    return of_data(data).notify(make_notify_error(static_cast<uint8_t>(source), static_cast<int16_t>(code), text.text));
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
    return d == nullptr ? error_invalid_parameters : of(d).properties.get_string(name, buffer, size);
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
    return d == nullptr ? error_invalid_parameters : of(d).environment.get_string(name, buffer, size);
}

int environment_unset(decoder* d, const char* name)
{
    return d == nullptr ? error_invalid_parameters : of(d).environment.unset(name);
}

int environment_watch(decoder* d, const char* name, player_watch_function function, void* user_data, void** watcher)
{
    return d == nullptr ? error_invalid_parameters : of(d).environment.watch_handle(name, function, user_data, watcher);
}

int environment_unwatch(decoder* d, void* watcher)
{
    return d == nullptr ? error_invalid_parameters : of(d).environment.unwatch_handle(watcher);
}

int input_set_mime_type(decoder* d, const char* mime_type)
{
    if (d == nullptr || mime_type == nullptr)
        return error_invalid_parameters;
    try {
        of(d).input_instance.mime_type = mime_type;
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    return 0;
}

// While a frame is decoded every message ends a wait for the input: the
// decoder takes it, then decodes the frame again from where the input
// stopped. A wait inside a command (an open reading the stream's first
// bytes) ends only for the commands that give the stream up; the others
// wait their turn.
bool any_message(int)
{
    return true;
}

bool gives_the_stream_up(int code)
{
    return code == command_exit || code == command_stop || code == command_input_open || code == command_input_close;
}

int wait_for_input(decoder* d, intptr_t descriptor)
{
    if (d == nullptr || descriptor < 0 || descriptor > INT32_MAX)
        return error_invalid_parameters;
    player_decoder& p = of(d);
    return p.channel.wait_for_input(static_cast<int>(descriptor), p.decoding ? any_message : gives_the_stream_up);
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
    s.input_set_mime_type = input_set_mime_type;
    s.wait_for_input = wait_for_input;
}

} // namespace melvox
