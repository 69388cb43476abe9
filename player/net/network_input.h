// The network input: the methods of the "Network Streaming Module" as plain
// functions, for the input module table to call through thin wrappers. It
// takes URL input names, connects with the client of the URL's scheme and
// delivers the received bytes through the stream buffer.
#pragma once

#include "connection.h"
#include "environment_reader.h"
#include "stream_buffer.h"
#include "stream_settings.h"
#include "url.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace melvox::net {

class net_reporter;

inline constexpr const char* network_input_name = "Network Streaming Module";
inline constexpr const char* network_input_description = "Version 1.4";
inline constexpr const char* network_input_device_name = "http://*, ftp://*, udp://*, icy://*";
inline constexpr const char* network_input_device_description = "streaming url";

struct network_input {
    std::string name;
    std::string mime_type = "unknown"; // replaced by a Content-Type header
    url address;
    bool has_address = false;
    net_connection connection;
    bool open = false;
    stream_settings settings;
    stream_buffer buffer;
    int32_t content_length = 0;
    net_reporter* reporter = nullptr;
};

// Starts the socket library; the module's registration fails without it
// (error_socket_failed).
int network_input_start();

// 0 when the name begins with "http://", "https://", "ftp://", "udp://",
// "tcp://" or "icy://" in any letter case, else error_unsupported_input_type.
int network_input_probe(const char* name);

// The one device: its name, description and flags (1: a name pattern);
// error_invalid_parameters for any index but 0.
int network_input_device(int index, const char** name, const char** description, int32_t* flags);

// Reads the INPUT.STREAM settings and allocates the buffer. A null or empty
// name is reported as "internal error" and gives error_invalid_parameters;
// error_out_of_memory when the buffer cannot be had. reporter must outlive
// the instance.
int network_input_new(network_input** out, const char* name, const environment_reader& environment,
                      net_reporter* reporter);
void network_input_delete(network_input* input);

// Parses the name and connects by scheme; the HTTP and FTP settings are read
// from the environment now. "icy:" is refused with
// error_unsupported_url_scheme unless "INPUT.STREAM.ACCEPT-ICY" was 1.
int network_input_open(network_input* input, const environment_reader& environment);

// 0 for a null instance, error_internal for one without a connection.
int network_input_close(network_input* input);

// n bytes, error_timeout while refilling, error_end_of_input_stream at the end.
int network_input_read(network_input* input, void* buffer, size_t n);

int network_input_seek(network_input* input, int64_t offset); // never seekable: error_no_such_interface
int network_input_get_caps(network_input* input);             // 0
int32_t network_input_get_size(network_input* input);         // content length, 0 unknown

} // namespace melvox::net
