// Feeds arbitrary bytes as what a child process writes to its pipe: the
// caller's frame reader cuts them into frames (skipping those that announce
// impossible lengths) and each frame is decoded into a message. A message
// that decodes is encoded again, which reads every string, block and
// property it points to, and the new frame decodes to the same code.
#include "messages/frame_codec.h"
#include "transport/posix/pipe_frames_posix.h"

#include <cstdint>
#include <unistd.h>
#include <vector>

namespace {

void decodeFrame(std::vector<uint8_t>& bytes)
{
    melvox::received_frame frame;
    frame.bytes = std::move(bytes);
    player_message message{};
    if (melvox::decode_frame(frame, message) != 0)
        return;
    std::vector<uint8_t> again;
    if (melvox::encode_frame(message, again) != 0)
        return;
    melvox::received_frame second;
    second.bytes = std::move(again);
    player_message copy{};
    if (melvox::decode_frame(second, copy) != 0 || copy.code != message.code)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A pipe holds 64 KiB: the whole input is written before it is read.
    if (size > 60000)
        return 0;
    int ends[2];
    if (pipe(ends) != 0)
        return 0;
    if (write(ends[1], data, size) != ssize_t(size)) {
        close(ends[0]);
        close(ends[1]);
        return 0;
    }
    close(ends[1]);
    melvox::frame_reader reader(ends[0]); // closes the read end
    std::vector<uint8_t> frame;
    for (int rounds = 0; rounds < 10000; ++rounds) {
        int r = reader.next_frame(frame);
        if (r == 1) {
            decodeFrame(frame);
            continue;
        }
        if (r == 0 && reader.fill() < 0 && reader.closed())
            break;
    }
    return 0;
}
