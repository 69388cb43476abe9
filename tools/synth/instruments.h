// The synthesiser's instruments. Each note is rendered on its own into a
// short stereo buffer that starts at the note's first sample and ends when
// its release has died away; the mixer places it in the song.
#pragma once

#include "audio.h"

#include <cstdint>
#include <string>

enum class Instrument {
    Bass,    // saw and square through a plucked low-pass, with a sine below
    Pad,     // three detuned saws per note through a slowly moving low-pass
    Lead,    // pulse and saw with delayed vibrato
    Arp,     // short resonant pluck
    Bell,    // two-operator FM bell
    Kick,    // sine with a falling pitch
    Snare,   // falling tone and high-passed noise
    HiHat,   // short high-passed noise
    OpenHat, // long high-passed noise
    Crash,   // wide, slowly fading noise
};
constexpr int kInstrumentCount = 10;

const char* instrumentName(Instrument instrument);

// One note as the score gives it. `length` is how long the key is held, in
// samples; drums ignore it and sound for their own fixed time.
struct NoteEvent {
    Instrument instrument = Instrument::Lead;
    int64_t start = 0;
    int64_t length = 0;
    int pitch = 69;          // MIDI note number
    float velocity = 1.0f;   // 0 to 1
    float brightness = 1.0f; // 0 (dark) to 1 (open): filter cutoffs follow it
    uint32_t seed = 1;       // noise and oscillator phases
};

// Samples from the note's start until it is silent.
size_t voiceLength(const NoteEvent& note);
StereoBuffer renderNote(const NoteEvent& note);
