#include "score.h"

#include "notation.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Ranges the parts are voiced in.
constexpr int kPadLow = 55;  // G3: pad chords in G3..F#4
constexpr int kArpLow = 60;  // C4: arpeggio in C4..B5
constexpr int kBassLow = 28; // E1: bass roots in E1..D#2

void checkPattern(const std::string& pattern, const std::string& allowed, const char* what)
{
    if (pattern.size() != kStepsPerBar || pattern.find_first_not_of(allowed) != std::string::npos)
        throw std::invalid_argument(std::string("bad ") + what + " pattern \"" + pattern + "\"");
}

float drumVelocity(char c)
{
    switch (c) {
    case 'X': return 1.0f;
    case 'x':
    case 'o': return 0.8f;
    case 'h': return 0.4f;
    default: return 0.0f;
    }
}

class Arranger {
public:
    explicit Arranger(int64_t step) : step(step), bar(step * kStepsPerBar) {}

    void section(const Section& s);
    Song finish(double tailSeconds);

private:
    int64_t step;
    int64_t bar;
    int64_t cursor = 0;
    Song song;

    // What varies from bar to bar within the section being written.
    const Section* current = nullptr;
    int64_t sectionStart = 0;

    bool plays(Layer layer, int barIndex) const;
    float along(float from, float to, int barIndex) const;
    void note(Instrument instrument, int64_t start, int64_t length, int pitch, float velocity, int barIndex);

    void pads();
    void melody();
    void writeBar(int barIndex, const Chord& chord);
};

bool Arranger::plays(Layer layer, int barIndex) const
{
    return std::any_of(current->layers.begin(), current->layers.end(), [&](const LayerSpan& span) {
        return span.layer == layer && barIndex >= span.fromBar && barIndex < span.toBar;
    });
}

float Arranger::along(float from, float to, int barIndex) const
{
    float t = current->bars > 1 ? static_cast<float>(barIndex) / (current->bars - 1) : 0.0f;
    return from + (to - from) * t;
}

void Arranger::note(Instrument instrument, int64_t start, int64_t length, int pitch, float velocity, int barIndex)
{
    NoteEvent e;
    e.instrument = instrument;
    e.start = start;
    e.length = length;
    e.pitch = pitch;
    e.velocity = velocity * along(current->volumeFrom, current->volumeTo, barIndex);
    e.brightness = along(current->brightnessFrom, current->brightnessTo, barIndex);
    e.seed = static_cast<uint32_t>(song.events.size() + 1);
    song.events.push_back(e);
}

void Arranger::section(const Section& s)
{
    if (s.bars <= 0 || s.chords.empty())
        throw std::invalid_argument("section \"" + s.name + "\" needs bars and chords");
    const Groove& g = s.groove;
    checkPattern(g.kick, "Xxh.", "kick");
    checkPattern(g.snare, "Xxh.", "snare");
    checkPattern(g.hats, "Xxho.", "hi-hat");
    checkPattern(g.fill, "Xxh.", "fill");
    checkPattern(g.bass, "rof-.", "bass");
    checkPattern(g.arp, "012345.", "arpeggio");
    for (const LayerSpan& span : s.layers)
        if (span.fromBar < 0 || span.toBar > s.bars || span.fromBar >= span.toBar)
            throw std::invalid_argument("layer outside section \"" + s.name + "\"");

    current = &s;
    sectionStart = cursor;
    std::vector<Chord> chords;
    for (const std::string& name : s.chords)
        chords.push_back(parseChord(name));
    pads();
    melody();
    for (int b = 0; b < s.bars; ++b)
        writeBar(b, chords[b % chords.size()]);
    song.sections.push_back({s.name, sectionStart, s.bars * bar, s.bars});
    cursor += s.bars * bar;
}

// A chord held over several bars is one long pad note, not a new attack
// every bar.
void Arranger::pads()
{
    const Section& s = *current;
    for (int b = 0; b < s.bars;) {
        if (!plays(Layer::Pad, b)) {
            ++b;
            continue;
        }
        const std::string& name = s.chords[b % s.chords.size()];
        int held = 1;
        while (b + held < s.bars && plays(Layer::Pad, b + held) && s.chords[(b + held) % s.chords.size()] == name)
            ++held;
        for (int pitch : voiceInOctave(parseChord(name), kPadLow))
            note(Instrument::Pad, sectionStart + b * bar, held * bar - step / 2, pitch, 0.8f, b);
        b += held;
    }
}

void Arranger::melody()
{
    const Section& s = *current;
    Melody m = parseMelody(s.melody);
    if (m.steps == 0)
        return;
    int sectionSteps = s.bars * kStepsPerBar;
    for (int repeat = 0; repeat < sectionSteps; repeat += m.steps) {
        for (const MelodyNote& n : m.notes) {
            int at = repeat + n.step;
            if (at >= sectionSteps)
                break;
            int b = at / kStepsPerBar;
            int64_t start = sectionStart + at * step;
            // Slightly short of the written length, so repeated notes are heard.
            int64_t gate = std::min(n.length, sectionSteps - at) * step - step / 8;
            float accent = at % 4 == 0 ? 0.95f : 0.85f;
            if (plays(Layer::Lead, b))
                note(Instrument::Lead, start, gate, n.pitch, accent, b);
            if (plays(Layer::LeadOctave, b))
                note(Instrument::Lead, start, gate, n.pitch + 12, 0.45f * accent, b);
            if (plays(Layer::Bell, b))
                note(Instrument::Bell, start, gate, n.pitch, accent, b);
        }
    }
}

void Arranger::writeBar(int b, const Chord& chord)
{
    const Groove& g = current->groove;
    int64_t barStart = sectionStart + b * bar;
    for (const LayerSpan& span : current->layers)
        if (span.layer == Layer::Crash && span.fromBar == b)
            note(Instrument::Crash, barStart, step, 0, 0.9f, b);

    std::vector<int> arpTones = voiceInOctave(chord, kArpLow);
    for (int i = 0; i < 3; ++i)
        arpTones.push_back(arpTones[i] + 12);
    int bassRoot = kBassLow + ((chord.root - kBassLow) % 12 + 12) % 12;

    const std::string& snare = plays(Layer::Fill, b) ? g.fill : g.snare;
    bool snareOn = plays(Layer::Snare, b) || plays(Layer::Fill, b);
    for (int i = 0; i < kStepsPerBar; ++i) {
        int64_t at = barStart + i * step;
        bool onBeat = i % 4 == 0;
        if (plays(Layer::Kick, b) && drumVelocity(g.kick[i]) > 0.0f)
            note(Instrument::Kick, at, step, 0, drumVelocity(g.kick[i]), b);
        if (snareOn && drumVelocity(snare[i]) > 0.0f)
            note(Instrument::Snare, at, step, 0, drumVelocity(snare[i]), b);
        if (plays(Layer::Hats, b) && drumVelocity(g.hats[i]) > 0.0f)
            note(g.hats[i] == 'o' ? Instrument::OpenHat : Instrument::HiHat, at, step, 0, drumVelocity(g.hats[i]), b);
        if (plays(Layer::Arp, b) && g.arp[i] != '.')
            note(Instrument::Arp, at, step * 4 / 5, arpTones[g.arp[i] - '0'], onBeat ? 0.9f : 0.7f, b);
        char c = g.bass[i];
        if (plays(Layer::Bass, b) && (c == 'r' || c == 'o' || c == 'f')) {
            int held = 1;
            while (i + held < kStepsPerBar && g.bass[i + held] == '-')
                ++held;
            int pitch = bassRoot + (c == 'o' ? 12 : c == 'f' ? 7 : 0);
            note(Instrument::Bass, at, held * step - step / 4, pitch, onBeat ? 1.0f : 0.85f, b);
        }
    }
}

Song Arranger::finish(double tailSeconds)
{
    song.samplesPerStep = step;
    song.length = cursor + static_cast<int64_t>(secondsToSamples(std::max(tailSeconds, 0.0)));
    std::stable_sort(song.events.begin(), song.events.end(),
                     [](const NoteEvent& a, const NoteEvent& b) { return a.start < b.start; });
    return song;
}

} // namespace

int64_t samplesPerStep(double bpm)
{
    if (!(bpm > 0.0))
        throw std::invalid_argument("tempo must be above 0 BPM");
    return std::llround(kSampleRate * 60.0 / bpm / 4.0);
}

Song arrange(const std::vector<Section>& sections, double bpm, double tailSeconds)
{
    Arranger arranger(samplesPerStep(bpm));
    for (const Section& s : sections)
        arranger.section(s);
    return arranger.finish(tailSeconds);
}
