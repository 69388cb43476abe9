// Decoding speed of the MPEG audio codec against mpg123 on the same files in
// the same run: Layer III at 128 and 320 kbit/s (lame) and Layer II at 192
// and 384 kbit/s (twolame), stereo, 44.1 kHz. Reports seconds of audio
// decoded per second of CPU time (user + system), whole process (mpeg-decode
// vs mpg123 -q -s, output to /dev/null; CPU time rather than wall time, so
// that other work on the machine does not blur it), and our decoding loop
// alone. The two decoders run in turn, run by run, and each keeps its best
// run: a busy spell of the machine then hurts both alike, not whichever
// happened to run during it.
//
// Usage: mpeg-decode-bench [seconds of audio, default 60] [runs, default 5]
#include "instruction_set.h"
#include "mpeg_codec.h"
#include "mpeg_errors.h"

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

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace melvox::mpeg;

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
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
}

double cpu_seconds(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// CPU time of a shell command and its children, or -1 when it fails.
double command_seconds(const std::string& command)
{
    pid_t child = fork();
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        return -1.0;
    }
    return cpu_seconds(usage);
}

// Best CPU times of two commands run in turn, `runs` times each.
bool best_alternating(const std::string& first, const std::string& second, int runs, double& first_best,
                      double& second_best)
{
    first_best = second_best = 1e9;
    for (int run = 0; run < runs; ++run) {
        double a = command_seconds(first), b = command_seconds(second);
        if (a < 0 || b < 0)
            return false;
        first_best = std::min(first_best, a);
        second_best = std::min(second_best, b);
    }
    return true;
}

// CPU time of our decoding loop alone, from memory, best of the runs.
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
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        int result;
        while ((result = codec->decode(pcm, info)) == 0 || result == error_invalid_frame) {
        }
        getrusage(RUSAGE_SELF, &after);
        best = std::min(best, cpu_seconds(after) - cpu_seconds(before));
    }
    return best;
}

} // namespace

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
        {"layer2-384k.mp2", "twolame --quiet -r -s 44100 -N 2 -m s -b 384"},
    };
    std::printf("seconds of audio per CPU second (x real time), %.0f s of 44.1 kHz stereo, best of %d\n", seconds,
                runs);
    std::printf("our decoder's instruction set here: %s\n", instruction_set_name(active_instruction_set()));
    std::printf("%-18s %12s %12s %12s %12s\n", "stream", "mpeg-decode", "mpg123", "ours/mpg123", "ours, loop");
    for (auto& s : streams) {
        std::string file = dir + "/" + s.name;
        if (std::system((s.command + " " + raw + " " + file + " > /dev/null 2>&1").c_str()) != 0) {
            std::printf("%-18s encoder missing\n", s.name);
            continue;
        }
        double ours = 0, reference = 0;
        if (!best_alternating(std::string(MPEG_DECODE_TOOL) + " -q " + file + " > /dev/null",
                              "mpg123 -q -s " + file + " > /dev/null 2>&1", runs, ours, reference)) {
            std::printf("%-18s a decoder failed\n", s.name);
            continue;
        }
        double loop = in_process_seconds(file, runs);
        std::printf("%-18s %12.0f %12.0f %12.2f %12.0f\n", s.name, seconds / ours, seconds / reference,
                    reference / ours, seconds / loop);
    }
    std::string cleanup = "rm -rf " + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
