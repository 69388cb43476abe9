// The score's notation, written as short strings so that the music reads
// like a tracker pattern:
//   notes    "A4", "G#5", "Bb3" (C4 is MIDI note 60)
//   melodies "A4:3 C5:3 r:2 ..."  note or rest (r), then its length in sixteenths
//   chords   "Am", "F", "G#m": a root and an optional "m" for minor
// Anything else is refused with std::invalid_argument naming the bad token.
#pragma once

#include <string>
#include <vector>

int parseNoteName(const std::string& name);

struct MelodyNote {
    int step;   // sixteenths from the start of the melody
    int length; // sixteenths
    int pitch;  // MIDI note number
};

struct Melody {
    std::vector<MelodyNote> notes;
    int steps = 0; // total length, rests included
};

Melody parseMelody(const std::string& text);

struct Chord {
    int root;               // pitch class, 0 = C
    std::vector<int> triad; // pitch classes: root, third, fifth
};

Chord parseChord(const std::string& name);

// The chord's pitch classes placed in [low, low + 12), lowest first: close
// voicings that move little from chord to chord.
std::vector<int> voiceInOctave(const Chord& chord, int low);
