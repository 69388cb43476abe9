// Decoding speed of the MPEG audio codec against mpg123 on the same files in
// the same run: Layer III at 128 and 320 kbit/s (lame) and Layer II at 192
// and 384 kbit/s (twolame), stereo, 44.1 kHz. Reports seconds of audio
// decoded per second, whole process (mpeg-decode vs mpg123 -q -s, output to
// /dev/null, best of several runs), and our decoding loop alone.
//
// Usage: mpeg-decode-bench [seconds of audio, default 60] [runs, default 5]
#include "mpeg_codec.h"
#include "mpeg_errors.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

using namespace melvox::mpeg;
using clock_type = std::chrono::steady_clock;

namespace {

// Music-like stereo test material: chords with vibrato, a beat of noise
// bursts, and slowly moving stereo placement.
void write_signal(const std::string& path, int rate, double seconds)
{
    std::mt19937 random(1);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::vector<int16_t> pcm;
    size_t frames = static_cast<size_t>(rate * seconds);
    pcm.reserve(frames * 2);
    const double two_pi = 2.0 * std::numbers::pi;
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        double chord = 0.0;
        for (double f : {220.0, 277.2, 329.6, 440.0, 1318.5})
            chord += 0.08 * std::sin(two_pi * f * t * (1.0 + 0.002 * std::sin(two_pi * 5.0 * t)));
        double beat = std::fmod(t, 0.5) < 0.04 ? 0.3 * noise(random) * (1.0 - std::fmod(t, 0.5) / 0.04) : 0.0;
        double pan = 0.5 + 0.4 * std::sin(two_pi * 0.1 * t);
        pcm.push_back(static_cast<int16_t>(32767 * (chord * pan + beat + 0.01 * noise(random))));
        pcm.push_back(static_cast<int16_t>(32767 * (chord * (1.0 - pan) + beat * 0.7 + 0.01 * noise(random))));
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(pcm.data()),
                                                static_cast<std::streamsize>(pcm.size() * 2));
}

double best_seconds(const std::string& command, int runs)
{
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        auto start = clock_type::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            return -1.0;
        }
        best = std::min(best, std::chrono::duration<double>(clock_type::now() - start).count());
    }
    return best;
}

// Our decoding loop alone, from memory, best of the runs.
double in_process_seconds(const std::string& path, int runs)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    static int16_t buffer[max_frame_bytes / 2];
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        memory_input input(bytes.data(), bytes.size());
        std::unique_ptr<mpeg_codec_instance> codec(mpeg_codec_instance::create(input));
        stream_info info;
        pcm_frame pcm{buffer};
        auto start = clock_type::now();
        int result;
        while ((result = codec->decode(pcm, info)) == 0 || result == error_invalid_frame) {
        }
        best = std::min(best, std::chrono::duration<double>(clock_type::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    char dir_template[] = "/tmp/mpeg-bench-XXXXXX";
    if (!mkdtemp(dir_template))
        return 1;
    std::string dir = dir_template;
    std::string raw = dir + "/signal.raw";
    write_signal(raw, 44100, seconds);

    struct stream {
        const char* name;
        std::string command;
    } streams[] = {
        {"layer3-128k.mp3", "lame --quiet -r -s 44.1 --signed --little-endian --bitwidth 16 -m j -b 128"},
        {"layer3-320k.mp3", "lame --quiet -r -s 44.1 --signed --little-endian --bitwidth 16 -m j -b 320"},
        {"layer2-192k.mp2", "twolame --quiet -r -s 44100 -N 2 -m j -b 192"},
        {"layer2-384k.mp2", "twolame --quiet -r -s 48000 -N 2 -m s -b 384"},
    };
    std::printf("%-18s %12s %12s %12s %10s\n", "stream (stereo)", "ours x rt", "mpg123 x rt", "in-process", "ours/mpg123");
    for (auto& s : streams) {
        std::string file = dir + "/" + s.name;
        if (std::system((s.command + " " + raw + " " + file + " > /dev/null 2>&1").c_str()) != 0) {
            std::printf("%-18s encoder missing\n", s.name);
            continue;
        }
        double ours = best_seconds(std::string(MPEG_DECODE_TOOL) + " -q " + file + " > /dev/null", runs);
        double reference = best_seconds("mpg123 -q -s " + file + " > /dev/null 2>&1", runs);
        double loop = in_process_seconds(file, runs);
        // The 384 kbit/s stream is made at 48 kHz (Layer II has no 384 kbit/s at lower rates in stereo... same length).
        std::printf("%-18s %12.0f %12.0f %12.0f %10.2f\n", s.name, seconds / ours, seconds / reference, seconds / loop,
                    reference / ours);
    }
    std::string cleanup = "rm -rf " + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
