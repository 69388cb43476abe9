// make-music OUT.wav: renders the demo's piece to a 44.1 kHz 16-bit stereo
// WAVE file and prints its exact length as "duration_ms=N" on standard
// output; the structure and the levels go to standard error. The output
// depends on nothing but this program: every run gives the same bytes.
#include "render.h"
#include "vexa_song.h"
#include "wav_file.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

namespace {

double toDb(double amplitude)
{
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -999.0;
}

void describe(const Song& song, const std::vector<int16_t>& pcm)
{
    for (const SectionSpan& s : song.sections)
        std::fprintf(stderr, "  %-7s %7.3f s to %7.3f s  %2d bars\n", s.name.c_str(), double(s.start) / kSampleRate,
                     double(s.start + s.length) / kSampleRate, s.bars);
    int peak = 0;
    double energy = 0.0;
    for (int16_t s : pcm) {
        peak = std::max(peak, std::abs(int(s)));
        energy += double(s) * s;
    }
    double rms = pcm.empty() ? 0.0 : std::sqrt(energy / pcm.size());
    std::fprintf(stderr, "  %zu notes, peak %.2f dBFS, RMS %.2f dBFS\n", song.events.size(), toDb(peak / 32768.0),
                 toDb(rms / 32768.0));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: make-music OUT.wav\n");
        return 2;
    }
    try {
        Song song = vexaSong();
        std::vector<int16_t> pcm = renderSong(song);
        std::string error;
        if (!writeWav(argv[1], pcm, 2, kSampleRate, error)) {
            std::fprintf(stderr, "make-music: %s\n", error.c_str());
            return 1;
        }
        describe(song, pcm);
        std::printf("duration_ms=%lld\n", static_cast<long long>(std::llround(song.length * 1000.0 / kSampleRate)));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-music: %s\n", e.what());
        return 1;
    }
}
