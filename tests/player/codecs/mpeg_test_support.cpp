#include "mpeg_test_support.h"

#include "mpeg_errors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <random>

#include <sys/wait.h>

namespace mpeg_test {

using namespace melvox::mpeg;

std::vector<int16_t> make_signal(signal_kind kind, int rate, int channels, double seconds, unsigned seed)
{
    size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> pcm(frames * static_cast<size_t>(channels));
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const double two_pi = 2.0 * std::numbers::pi;
    double top = std::min(10000.0, rate * 0.45);
    for (size_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        // Logarithmic sweep from 100 Hz to `top` over the signal.
        double k = std::log(top / 100.0) / seconds;
        double sweep = 0.4 * std::sin(two_pi * 100.0 * (std::exp(k * t) - 1.0) / k);
        double value[2] = {};
        switch (kind) {
        case signal_kind::sweep: value[0] = value[1] = sweep; break;
        case signal_kind::noise:
            value[0] = 0.3 * uniform(random);
            value[1] = 0.3 * uniform(random);
            break;
        case signal_kind::transients: {
            size_t period = static_cast<size_t>(rate / 5);
            double burst = i % period < static_cast<size_t>(rate / 200) ? 0.8 * uniform(random) : 0.0;
            double tone = 0.05 * std::sin(two_pi * 330.0 * t);
            value[0] = tone + burst;
            value[1] = tone - burst * 0.5;
            break;
        }
        case signal_kind::stereo: {
            size_t period = static_cast<size_t>(rate / 3);
            double burst = i % period < static_cast<size_t>(rate / 50) ? 0.4 * uniform(random) : 0.0;
            value[0] = sweep + 0.02 * uniform(random);
            value[1] = 0.3 * std::sin(two_pi * 440.0 * t) + burst;
            break;
        }
        }
        for (int ch = 0; ch < channels; ++ch) {
            double v = channels == 1 ? (value[0] + value[1]) * 0.5 : value[ch];
            pcm[i * static_cast<size_t>(channels) + static_cast<size_t>(ch)] = static_cast<int16_t>(
                std::lrint(std::clamp(v, -1.0, 1.0) * 32767.0));
        }
    }
    return pcm;
}

bool have_program(const std::string& name)
{
    return run_command("command -v " + name + " > /dev/null 2>&1") == 0;
}

int run_command(const std::string& command)
{
    int status = std::system(command.c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

std::vector<uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

namespace {

std::string write_pcm(const TempDir& dir, const std::vector<int16_t>& pcm)
{
    std::string path = dir.file("input.raw");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
    return path;
}

std::string khz(int rate)
{
    char text[16];
    std::snprintf(text, sizeof text, "%g", rate / 1000.0);
    return text;
}

} // namespace

std::vector<uint8_t> encode_lame(const TempDir& dir, const std::vector<int16_t>& pcm, int rate, int channels,
                                 const std::string& options)
{
    std::string input = write_pcm(dir, pcm);
    std::string output = dir.file("stream.mp3");
    std::string command = "lame --quiet -r --signed --little-endian --bitwidth 16 -s " + khz(rate) +
                          (channels == 1 ? " -m m " : " ") + options + " " + input + " " + output + " > /dev/null 2>&1";
    if (run_command(command) != 0)
        return {};
    return read_bytes(output);
}

std::vector<uint8_t> encode_twolame(const TempDir& dir, const std::vector<int16_t>& pcm, int rate, int channels,
                                    const std::string& options)
{
    std::string input = write_pcm(dir, pcm);
    std::string output = dir.file("stream.mp2");
    std::string command = "twolame --quiet -r -s " + std::to_string(rate) + " -N " + std::to_string(channels) +
                          (channels == 1 ? " -m m " : " ") + options + " " + input + " " + output + " > /dev/null 2>&1";
    if (run_command(command) != 0)
        return {};
    return read_bytes(output);
}

std::vector<int16_t> reference_decode(const TempDir& dir, const std::vector<uint8_t>& stream, bool gapless)
{
    std::string input = dir.file("reference-input.mpg");
    std::string output = dir.file("reference.raw");
    write_bytes(input, stream);
    if (run_command(std::string("mpg123 -q ") + (gapless ? "" : "--no-gapless ") + "-s " + input + " > " + output +
                    " 2> /dev/null") != 0)
        return {};
    std::vector<uint8_t> bytes = read_bytes(output);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::copy_n(bytes.data(), samples.size() * 2, reinterpret_cast<uint8_t*>(samples.data()));
    return samples;
}

decoding decode(const std::vector<uint8_t>& stream, const codec_parameters& parameters, bool prepare, int max_calls,
                bool gapless)
{
    decoding result;
    memory_input input(stream.data(), stream.size());
    std::unique_ptr<mpeg_codec_instance> codec(mpeg_codec_instance::create(input));
    codec->set_gapless(gapless);
    codec->set_parameters(parameters, parameter_channel_mode | parameter_downsampling | parameter_equalizer);
    if (prepare)
        codec->prepare(result.info);
    int16_t buffer[max_frame_bytes / 2];
    for (int call = 0; call < max_calls; ++call) {
        pcm_frame pcm;
        pcm.buffer = buffer;
        int status = codec->decode(pcm, result.info);
        if (status == error_invalid_frame) {
            ++result.invalid_frames;
            continue;
        }
        if (status < 0) {
            result.end_result = status;
            break;
        }
        ++result.frames;
        result.channels = pcm.channels;
        result.rate = pcm.rate;
        result.samples.insert(result.samples.end(), buffer, buffer + pcm.samples * pcm.channels);
        result.last_frame_size = static_cast<size_t>(pcm.samples * pcm.channels);
    }
    return result;
}

comparison compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& reference, int channels)
{
    auto measure = [&](int offset, size_t limit) {
        comparison c;
        c.offset = offset;
        size_t ours_start = static_cast<size_t>(std::max(offset, 0)) * static_cast<size_t>(channels);
        size_t ref_start = static_cast<size_t>(std::max(-offset, 0)) * static_cast<size_t>(channels);
        if (ours_start > ours.size() || ref_start > reference.size())
            return c;
        size_t count = std::min({ours.size() - ours_start, reference.size() - ref_start, limit});
        double sum = 0.0;
        for (size_t i = 0; i < count; ++i) {
            int d = ours[ours_start + i] - reference[ref_start + i];
            sum += static_cast<double>(d) * d;
            c.max_difference = std::max(c.max_difference, std::abs(d));
        }
        c.compared = count / static_cast<size_t>(channels);
        c.rms = count ? std::sqrt(sum / static_cast<double>(count)) : 1e9;
        return c;
    };
    // Whole frames of any layer: 384, 576 and 1152 samples.
    comparison best;
    best.rms = 1e18;
    for (int offset : {0, 1152, 576, 384, -1152, -576, -384}) {
        comparison probe = measure(offset, 40000);
        if (probe.compared > 0 && probe.rms < best.rms)
            best = probe;
    }
    return measure(best.offset, ours.size() + reference.size());
}

} // namespace mpeg_test

namespace mpeg_test {

std::array<int, 4> count_block_types(const std::vector<uint8_t>& stream)
{
    std::array<int, 4> counts{};
    size_t at = 0;
    while (at + 40 <= stream.size()) {
        uint32_t word = uint32_t{stream[at]} << 24 | uint32_t{stream[at + 1]} << 16 | uint32_t{stream[at + 2]} << 8 |
                        stream[at + 3];
        frame_header h = parse_header(word);
        if (!has_sync(word) || !header_valid(h)) {
            ++at;
            continue;
        }
        std::vector<uint8_t> side(stream.begin() + static_cast<long>(at) + 4,
                                  stream.begin() + static_cast<long>(at) + 40);
        side.resize(side.size() + bit_reader::padding);
        bit_reader bits;
        bits.reset(side.data(), 36);
        if (!h.protection_bit)
            bits.skip(16);
        bool lsf = is_lower_sampling_frequency(h);
        int channels = channel_count(h);
        bits.skip(lsf ? (channels == 1 ? 9 : 10) : (channels == 1 ? 18 : 20));
        for (int gr = 0; gr < (lsf ? 1 : 2); ++gr)
            for (int ch = 0; ch < channels; ++ch) {
                bits.skip(12 + 9 + 8 + (lsf ? 9 : 4));
                if (bits.get_bit()) {
                    int type = static_cast<int>(bits.get_bits(2));
                    ++counts[type];
                    bits.skip(1 + 10 + 9);
                } else {
                    ++counts[0];
                    bits.skip(15 + 7);
                }
                bits.skip(lsf ? 2 : 3);
            }
        at += static_cast<size_t>(frame_length(h));
    }
    return counts;
}

} // namespace mpeg_test
