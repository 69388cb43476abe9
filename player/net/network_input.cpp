#include "network_input.h"

#include "ftp_client.h"
#include "http_client.h"
#include "melvox.h"
#include "net_reporter.h"

#include <algorithm>
#include <array>
#include <new>
#include <string_view>

namespace melvox::net {

namespace {

// Turns reply headers into "http/<name>" properties and takes the MIME type.
class header_properties : public http_reply_sink {
public:
    explicit header_properties(network_input& input) : input_(input) {}

    void header(const char* line) override
    {
        std::string_view text(line);
        size_t colon = text.find(':');
        if (colon == std::string_view::npos || colon > 512)
            return;
        std::string_view value = text.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        if (value.empty())
            return;
        std::string name = "http/" + std::string(text.substr(0, colon));
        input_.reporter->property(name.c_str(), std::string(value).c_str());
    }

    void content_type(const char* type) override { input_.mime_type = type; }

private:
    network_input& input_;
};

int connect_by_scheme(network_input& input, const environment_reader& environment)
{
    net_reporter& reporter = *input.reporter;
    const url& address = input.address;
    input.buffer.set_stall_limit(read_network_read_limit(environment));
    switch (address.scheme) {
    case scheme_ftp: {
        ftp_settings settings = read_ftp_settings(environment);
        input.buffer.set_stall_limit(settings.reply_timeout);
        return ftp_get(input.connection, address, &input.content_length, settings, reporter);
    }
    case scheme_udp: return udp_open(input.connection, address);
    case scheme_tcp: return tcp_open(input.connection, address);
    case scheme_https:
        if (!tls_available()) {
            reporter.message(0, "https is not supported by this build", address.text.c_str());
            return error_unsupported_url_scheme;
        }
        [[fallthrough]];
    case scheme_http:
    case scheme_icy: {
        http_settings settings = read_http_settings(environment);
        input.buffer.set_stall_limit(settings.read_timeout);
        header_properties sink(input);
        if (address.scheme != scheme_icy)
            return http_get(input.connection, address, &input.content_length, &settings, &sink, reporter);
        uint32_t interval = 0;
        int result = icy_get(input.connection, address, &input.content_length, &settings, &sink, &interval, reporter);
        if (result == 0)
            input.buffer.set_icy_interval(interval);
        return result;
    }
    default: return error_unsupported_url_scheme; // a file path is not the network input's
    }
}

} // namespace

int network_input_start()
{
    return start_sockets();
}

int network_input_probe(const char* name)
{
    if (name == nullptr)
        return error_unsupported_input_type;
    static constexpr std::array<std::string_view, 6> prefixes{"http://", "ftp://", "udp://",
                                                              "tcp://",  "icy://", "https://"};
    std::string_view text(name);
    for (std::string_view prefix : prefixes) {
        if (text.size() < prefix.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < prefix.size() && same; ++i) {
            char c = text[i];
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
            same = c == prefix[i];
        }
        if (same)
            return 0;
    }
    return error_unsupported_input_type;
}

int network_input_device(int index, const char** name, const char** description, int32_t* flags)
{
    if (index != 0)
        return error_invalid_parameters;
    *name = network_input_device_name;
    *description = network_input_device_description;
    *flags = 1;
    return 0;
}

int network_input_new(network_input** out, const char* name, const environment_reader& environment,
                      net_reporter* reporter)
{
    if (reporter == nullptr)
        reporter = &silent_reporter();
    if (out == nullptr || name == nullptr || *name == '\0') {
        reporter->message(0, "internal error", "null params or null/empty output name");
        return error_invalid_parameters;
    }
    try {
        auto input = new network_input;
        input->reporter = reporter;
        input->settings = read_stream_settings(environment);
        input->name = name;
        input->connection.reporter = reporter;
        int result = input->buffer.allocate(input->settings);
        if (result < 0) {
            delete input;
            return result;
        }
        *out = input;
        return 0;
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
}

void network_input_delete(network_input* input)
{
    delete input;
}

int network_input_open(network_input* input, const environment_reader& environment)
{
    if (input == nullptr)
        return error_invalid_parameters;
    input->buffer.reset();
    input->content_length = 0;
    input->mime_type = "unknown";
    int result = parse_url(input->name.c_str(), &input->address);
    if (result < 0)
        return result;
    input->has_address = true;
    net_reporter& reporter = *input->reporter;
    if (input->address.scheme == scheme_icy && !input->settings.accept_icy) {
        reporter.message(0, "icy streams are not accepted", "set INPUT.STREAM.ACCEPT-ICY to 1");
        result = error_unsupported_url_scheme;
    } else {
        reporter.progress(progress_connecting, 0, "connecting");
        try {
            result = connect_by_scheme(*input, environment);
        } catch (const std::bad_alloc&) {
            result = error_out_of_memory;
        }
    }
    if (result < 0) {
        input->connection.close();
        input->address = url{};
        input->has_address = false;
        return result;
    }
    // The stream's own length ends it; a shorter one was cut.
    input->buffer.start_stream(uint64_t(std::max<int32_t>(input->content_length, 0)));
    reporter.progress(progress_connected, 0, "connected");
    reporter.progress(progress_buffer_fill, 0, nullptr);
    reporter.progress(progress_buffering, 0, nullptr);
    input->open = true;
    return 0;
}

int network_input_close(network_input* input)
{
    if (input == nullptr)
        return 0;
    if (!input->connection.is_open())
        return error_internal;
    input->address = url{};
    input->has_address = false;
    input->open = false;
    input->connection.close();
    return 0;
}

int network_input_read(network_input* input, void* buffer, size_t n)
{
    if (input == nullptr || !input->open)
        return error_invalid_parameters;
    return input->buffer.read(buffer, n, input->connection, *input->reporter);
}

int network_input_seek(network_input*, int64_t)
{
    return error_no_such_interface; // a stream offers no seeking
}

int network_input_get_caps(network_input*)
{
    return 0;
}

int32_t network_input_get_size(network_input* input)
{
    return input == nullptr ? 0 : input->content_length;
}

} // namespace melvox::net
