// Feeds arbitrary bytes as an HTTP/ICY reply: the status and header lines,
// then the body through the stream buffer with ICY metadata cut out.
#include "connection.h"
#include "http_client.h"
#include "icy_metadata.h"
#include "melvox.h"
#include "net_fuzz_support.h"
#include "net_reporter.h"
#include "stream_buffer.h"

#include <cstdint>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class header_sink : public melvox::net::http_reply_sink {
public:
    void header(const char* line) override { lines += line[0] != '\0'; }
    void content_type(const char*) override {}
    int lines = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace melvox::net;
    if (size < 2 || size > 65536)
        return 0;
    // The first byte picks a metadata interval for replies that name none.
    uint32_t interval = data[0] < 128 ? data[0] : 8192u * (data[0] - 127u);
    ++data;
    --size;
    parse_icy_metadata(std::string_view(reinterpret_cast<const char*>(data), size),
                       [](std::string_view, std::string_view) {});

    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0)
        return 0;
    fuzzing::widenBuffers(pair[0]);
    fuzzing::widenBuffers(pair[1]);
    if (send_all(pair[0], data, size) != 0) {
        close(pair[0]);
        close(pair[1]);
        return 0;
    }
    close(pair[0]);

    net_connection conn;
    conn.stream = pair[1];
    http_reply reply;
    header_sink sink;
    if (read_http_reply(conn, 10, true, &reply, &sink, silent_reporter()) != 0)
        return 0;
    stream_settings settings = fuzzing::smallStreamSettings();
    stream_buffer ring;
    if (ring.allocate(settings) != 0)
        return 0;
    ring.set_icy_interval(reply.metadata_interval != 0 ? reply.metadata_interval : interval);
    fuzzing::readStream(ring, settings, conn);
    return 0;
}
