#include "vexa_song.h"

namespace {

// i - VI - III - VII, the progression under the intro and the theme.
const std::vector<std::string> kVerseChords = {"Am", "F", "C", "G"};
// VI - VII - v - i, then towards the dominant E major for the lift.
const std::vector<std::string> kChorusChords = {"F", "G", "Em", "Am", "F", "G", "E", "E"};
const std::vector<std::string> kBreakChords = {"Dm", "Am", "F", "E"};
const std::vector<std::string> kOutroChords = {"Am", "F", "C", "G", "F", "G", "Am", "Am"};

// Eight bars over the verse chords: a question ending on D, an answer that
// climbs to C6 and falls back.
const char* const kThemeMelody = "A4:3 C5:3 E5:2 A5:4 G5:2 E5:2 "
                                 "F5:6 E5:2 C5:4 A4:4 "
                                 "G4:3 C5:3 E5:2 G5:6 E5:2 "
                                 "D5:8 B4:4 G4:2 B4:2 "
                                 "A4:3 C5:3 E5:2 A5:4 B5:2 C6:2 "
                                 "A5:6 G5:2 F5:4 E5:2 F5:2 "
                                 "E5:3 G5:3 E5:2 C5:4 D5:4 "
                                 "B4:6 C5:2 D5:4 r:4";

// The chorus: longer notes, higher, with the G sharp of the E major chord.
const char* const kChorusMelody = "A5:6 G5:2 A5:4 C6:4 "
                                  "B5:6 A5:2 G5:4 D5:4 "
                                  "E5:6 G5:2 B5:4 A5:2 G5:2 "
                                  "A5:10 r:2 E5:2 G5:2 "
                                  "A5:6 G5:2 A5:4 C6:4 "
                                  "D6:6 C6:2 B5:4 G5:4 "
                                  "G#5:6 A5:2 B5:4 E5:4 "
                                  "G#5:4 B5:4 E6:6 r:2";

// Slow bell phrases over the break.
const char* const kBreakMelody = "D5:6 F5:2 A5:8 "
                                 "E5:6 C5:2 A4:8 "
                                 "F5:6 A5:2 C6:8 "
                                 "B5:8 G#5:8 "
                                 "D5:6 F5:2 A5:4 D6:4 "
                                 "C6:6 B5:2 A5:8 "
                                 "A5:4 C6:4 F5:4 A5:4 "
                                 "G#5:8 B5:8";

// Winding down to the tonic.
const char* const kOutroMelody = "E5:4 D5:4 C5:4 B4:4 "
                                 "A4:6 C5:2 F5:8 "
                                 "E5:6 D5:2 C5:8 "
                                 "D5:8 B4:8 "
                                 "C5:6 A4:2 C5:8 "
                                 "D5:6 B4:2 D5:8 "
                                 "C5:4 B4:4 A4:8 "
                                 "A4:12 r:4";

Groove introGroove()
{
    Groove g;
    g.hats = "..x...x...x...x.";
    g.fill = "........h.x.xxXX";
    return g;
}

Groove buildGroove()
{
    Groove g;
    g.bass = "r.r.r.r.r.r.r.o.";
    return g;
}

Groove breakGroove()
{
    Groove g;
    g.hats = "..h...h...h...h.";
    g.bass = "r-------------..";
    g.arp = "0.2.4.3.1.3.5.3.";
    return g;
}

Groove finaleGroove()
{
    Groove g;
    g.kick = "x...x...x...x.h.";
    g.hats = "h.o.h.xhh.o.h.xh";
    g.bass = "r.ro..r.r.ro.fo.";
    return g;
}

} // namespace

std::vector<Section> vexaSections()
{
    using L = Layer;
    std::vector<Section> s;

    Section intro{"intro",       8,
                  kVerseChords,  "",
                  introGroove(), {{L::Pad, 0, 8}, {L::Arp, 4, 8}, {L::Hats, 6, 8}, {L::Fill, 7, 8}}};
    intro.brightnessFrom = 0.1f;
    intro.brightnessTo = 0.55f;
    intro.volumeFrom = 0.7f;
    s.push_back(intro);

    Section build{"build",
                  8,
                  kVerseChords,
                  "",
                  buildGroove(),
                  {{L::Crash, 0, 1},
                   {L::Pad, 0, 8},
                   {L::Arp, 0, 8},
                   {L::Bass, 0, 8},
                   {L::Kick, 0, 8},
                   {L::Hats, 0, 8},
                   {L::Snare, 4, 7},
                   {L::Fill, 7, 8}}};
    build.brightnessFrom = 0.6f;
    build.brightnessTo = 0.9f;
    s.push_back(build);

    s.push_back({"theme",
                 16,
                 kVerseChords,
                 kThemeMelody,
                 Groove{},
                 {{L::Crash, 0, 1},
                  {L::Pad, 0, 16},
                  {L::Arp, 0, 16},
                  {L::Bass, 0, 16},
                  {L::Kick, 0, 16},
                  {L::Hats, 0, 16},
                  {L::Snare, 0, 15},
                  {L::Fill, 15, 16},
                  {L::Lead, 0, 16}}});

    s.push_back({"chorus",
                 16,
                 kChorusChords,
                 kChorusMelody,
                 Groove{},
                 {{L::Crash, 0, 1},
                  {L::Crash, 8, 9},
                  {L::Pad, 0, 16},
                  {L::Arp, 0, 16},
                  {L::Bass, 0, 16},
                  {L::Kick, 0, 16},
                  {L::Hats, 0, 16},
                  {L::Snare, 0, 15},
                  {L::Fill, 15, 16},
                  {L::Lead, 0, 16}}});

    Section breakdown{
        "break",
        8,
        kBreakChords,
        kBreakMelody,
        breakGroove(),
        {{L::Pad, 0, 8}, {L::Bell, 0, 8}, {L::Bass, 0, 8}, {L::Arp, 4, 8}, {L::Hats, 4, 8}, {L::Fill, 7, 8}}};
    breakdown.brightnessFrom = 0.3f;
    breakdown.brightnessTo = 0.75f;
    breakdown.volumeFrom = breakdown.volumeTo = 0.9f;
    s.push_back(breakdown);

    s.push_back({"finale",
                 16,
                 kChorusChords,
                 kChorusMelody,
                 finaleGroove(),
                 {{L::Crash, 0, 1},
                  {L::Crash, 8, 9},
                  {L::Pad, 0, 16},
                  {L::Arp, 0, 16},
                  {L::Bass, 0, 16},
                  {L::Kick, 0, 16},
                  {L::Hats, 0, 16},
                  {L::Snare, 0, 15},
                  {L::Fill, 15, 16},
                  {L::Lead, 0, 16},
                  {L::LeadOctave, 0, 16}}});

    Section outro{"outro",
                  8,
                  kOutroChords,
                  kOutroMelody,
                  Groove{},
                  {{L::Crash, 0, 1},
                   {L::Pad, 0, 8},
                   {L::Arp, 0, 6},
                   {L::Bass, 0, 4},
                   {L::Kick, 0, 4},
                   {L::Snare, 0, 4},
                   {L::Hats, 0, 6},
                   {L::Lead, 0, 8}}};
    outro.brightnessFrom = 1.0f;
    outro.brightnessTo = 0.3f;
    outro.volumeTo = 0.55f;
    s.push_back(outro);
    return s;
}

Song vexaSong()
{
    return arrange(vexaSections(), kVexaBpm, kVexaTailSeconds);
}
