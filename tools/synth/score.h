// How a piece is written and how it turns into timed notes. A piece is a
// list of sections; each section has a length in bars, a chord per bar, a
// melody, a groove (drum, bass and arpeggio patterns of sixteen steps) and
// the layers that play in which of its bars. `arrange` lays the sections end
// to end and writes out every note.
#pragma once

#include "instruments.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr int kStepsPerBar = 16;

// Sixteen characters each, one per sixteenth note.
//   drums:    X accent, x normal, h ghost, o open hat (hats only), . rest
//   bass:     r root, o octave above, f fifth above, - hold, . rest
//   arpeggio: 0-5 chord tone (three tones, then the same an octave up), . rest
struct Groove {
    std::string kick = "x...x...x...x...";
    std::string snare = "....x.......x...";
    std::string hats = "h.x.h.xhh.x.h.x.";
    std::string fill = "h.h.x.x.xxxxxxXX"; // replaces the snare in a fill bar
    std::string bass = "r.ro..r.r.ro..f.";
    std::string arp = "0123454301234543";
};

enum class Layer { Pad, Arp, Bass, Kick, Snare, Hats, Lead, LeadOctave, Bell, Fill, Crash };

// A layer plays in bars [fromBar, toBar) of its section; a crash sounds
// once, on the first of them.
struct LayerSpan {
    Layer layer;
    int fromBar;
    int toBar;
};

struct Section {
    std::string name;
    int bars = 0;
    std::vector<std::string> chords; // one per bar, repeated over the section
    std::string melody;              // repeated over the section
    Groove groove;
    std::vector<LayerSpan> layers;
    // Filter openness and loudness at the section's first and last bars.
    float brightnessFrom = 1.0f, brightnessTo = 1.0f;
    float volumeFrom = 1.0f, volumeTo = 1.0f;
};

struct SectionSpan {
    std::string name;
    int64_t start;  // samples
    int64_t length; // samples
    int bars;
};

struct Song {
    int64_t samplesPerStep = 0;
    std::vector<SectionSpan> sections;
    std::vector<NoteEvent> events;
    int64_t length = 0; // samples: every bar and then the tail
};

// Sixteenths at `bpm` quarter notes per minute, rounded to whole samples.
int64_t samplesPerStep(double bpm);

// Throws std::invalid_argument for a malformed pattern, chord or melody, a
// section without bars or chords, or a layer span outside its section.
Song arrange(const std::vector<Section>& sections, double bpm, double tailSeconds);
