// Decodes an MPEG audio file to raw 16-bit PCM (host byte order, interleaved
// when stereo), for comparison with other decoders and for timing.
//
// Usage: mpeg-decode [-m channel_mode] [-d downsampling] [-g] [-q] INPUT|- [OUTPUT]
#include "mpeg_codec.h"
#include "mpeg_errors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using namespace melvox::mpeg;

namespace {

int usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [-m channel_mode 0-3] [-d downsampling 0-2] [-g] [-q] INPUT|- [OUTPUT]\n"
                 "Writes raw 16-bit PCM in host byte order to OUTPUT or standard output;\n"
                 "-g: gapless (the encoder's delay and padding cut).\n",
                 program);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    codec_parameters parameters;
    bool quiet = false;
    bool gapless = false;
    const char* input_name = nullptr;
    const char* output_name = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if ((arg == "-m" || arg == "-d") && i + 1 < argc) {
            int value = std::atoi(argv[++i]);
            (arg == "-m" ? parameters.channel_mode : parameters.downsampling) = value;
        } else if (arg == "-q") {
            quiet = true;
        } else if (arg == "-g") {
            gapless = true;
        } else if (!input_name) {
            input_name = argv[i];
        } else if (!output_name) {
            output_name = argv[i];
        } else {
            return usage(argv[0]);
        }
    }
    if (!input_name)
        return usage(argv[0]);

    std::FILE* in = std::strcmp(input_name, "-") == 0 ? stdin : std::fopen(input_name, "rb");
    if (!in) {
        std::fprintf(stderr, "mpeg-decode: cannot open %s\n", input_name);
        return 1;
    }
    std::FILE* out = output_name ? std::fopen(output_name, "wb") : stdout;
    if (!out) {
        std::fprintf(stderr, "mpeg-decode: cannot create %s\n", output_name);
        return 1;
    }

    // Large buffers: a frame is a few kilobytes, and a system call per frame
    // would cost more than decoding it.
    static char in_buffer[1 << 16], out_buffer[1 << 18];
    std::setvbuf(in, in_buffer, _IOFBF, sizeof in_buffer);
    std::setvbuf(out, out_buffer, _IOFBF, sizeof out_buffer);

    file_input input(in);
    std::unique_ptr<mpeg_codec_instance> codec(mpeg_codec_instance::create(input));
    if (!codec || codec->set_parameters(parameters, parameter_channel_mode | parameter_downsampling) < 0) {
        std::fprintf(stderr, "mpeg-decode: bad parameters\n");
        return 1;
    }
    codec->set_gapless(gapless);
    stream_info info;
    if (input.size() > 0 && codec->prepare(info) < 0 && !quiet)
        std::fprintf(stderr, "mpeg-decode: the stream does not start with a frame; searching\n");

    static int16_t buffer[max_frame_bytes / 2];
    long frames = 0, invalid = 0;
    uint64_t samples = 0;
    int result;
    pcm_frame pcm;
    pcm.buffer = buffer;
    while ((result = codec->decode(pcm, info)) == 0 || result == error_invalid_frame) {
        if (result == error_invalid_frame) {
            ++invalid;
            continue;
        }
        ++frames;
        samples += static_cast<uint64_t>(pcm.samples);
        std::fwrite(buffer, sizeof(int16_t), static_cast<size_t>(pcm.samples * pcm.channels), out);
    }
    if (!quiet)
        std::fprintf(stderr, "%ld frames, %ld invalid, %llu samples per channel, %d Hz, %d channel(s), %u ms\n", frames,
                     invalid, static_cast<unsigned long long>(samples), pcm.rate, pcm.channels, info.duration_ms);
    if (out != stdout)
        std::fclose(out);
    return result == error_end_of_input ? 0 : 1;
}
