#include "render.h"

#include "filter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

StereoBuffer mixSong(const Song& song, const TrackTable& tracks, const MasterSettings& settings)
{
    size_t frames = static_cast<size_t>(std::max<int64_t>(song.length, 0));
    Mixer mixer(frames, tracks);
    std::vector<int64_t> kicks;
    for (const NoteEvent& e : song.events)
        if (e.instrument == Instrument::Kick)
            kicks.push_back(e.start);
    mixer.duckUnder(kicks);
    for (const NoteEvent& e : song.events)
        mixer.add(e, renderNote(e));

    EchoSettings echo;
    echo.delay = static_cast<size_t>(std::llround(settings.echoSteps * song.samplesPerStep));
    echo.feedback = settings.echoFeedback;
    StereoBuffer wet = pingPongEcho(mixer.echoSend(), echo);

    StereoBuffer master(frames);
    HighPass leftDc(5.0), rightDc(5.0);
    for (size_t i = 0; i < frames; ++i) {
        master.left[i] = leftDc.process(mixer.dry().left[i] + wet.left[i]);
        master.right[i] = rightDc.process(mixer.dry().right[i] + wet.right[i]);
    }
    return master;
}

std::vector<int16_t> renderSong(const Song& song, const TrackTable& tracks, const MasterSettings& settings)
{
    StereoBuffer master = mixSong(song, tracks, settings);
    size_t frames = master.frames();

    double energy = 0.0;
    for (size_t i = 0; i < frames; ++i) {
        // A filter or envelope gone wrong must stop the render, not become noise.
        if (!std::isfinite(master.left[i]) || !std::isfinite(master.right[i]))
            throw std::runtime_error("the mix is not finite at " + std::to_string(double(i) / kSampleRate) + " s");
        energy += double(master.left[i]) * master.left[i] + double(master.right[i]) * master.right[i];
    }
    double rms = frames > 0 ? std::sqrt(energy / (2.0 * frames)) : 0.0;
    if (rms > 1e-9) {
        float gain = static_cast<float>(settings.targetRms / rms);
        for (size_t i = 0; i < frames; ++i) {
            master.left[i] *= gain;
            master.right[i] *= gain;
        }
    }
    limit(master, settings.limiter);

    size_t fade = std::min(frames, secondsToSamples(settings.fadeOutSeconds));
    for (size_t i = 0; i < fade; ++i) {
        float g = static_cast<float>(i) / fade; // reaches 0 on the last frame
        master.left[frames - 1 - i] *= g;
        master.right[frames - 1 - i] *= g;
    }
    return toPcm16(master);
}
