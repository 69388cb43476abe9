// The score's notation and arrangement, the demo's piece as written, the
// WAVE writer, and short scores rendered end to end.
#include "notation.h"
#include "render.h"
#include "temp_dir.h"
#include "vexa_song.h"
#include "wav_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

namespace {

uint32_t le32(const std::string& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}

uint16_t le16(const std::string& b, size_t at)
{
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

// Two bars with every layer playing, and a short tail.
Song shortSong()
{
    Section s{"all",
              2,
              {"Am", "F"},
              "A4:4 C5:4 E5:8",
              Groove{},
              {{Layer::Crash, 0, 1},
               {Layer::Pad, 0, 2},
               {Layer::Arp, 0, 2},
               {Layer::Bass, 0, 2},
               {Layer::Kick, 0, 2},
               {Layer::Snare, 0, 1},
               {Layer::Fill, 1, 2},
               {Layer::Hats, 0, 2},
               {Layer::Lead, 0, 2},
               {Layer::LeadOctave, 1, 2},
               {Layer::Bell, 0, 1}}};
    return arrange({s}, 125.0, 0.5);
}

std::multiset<Instrument> instrumentsIn(const Song& song, const SectionSpan& span)
{
    std::multiset<Instrument> found;
    for (const NoteEvent& e : song.events)
        if (e.start >= span.start && e.start < span.start + span.length)
            found.insert(e.instrument);
    return found;
}

TEST(SynthNotation, NotesMelodiesAndChords)
{
    EXPECT_EQ(parseNoteName("A4"), 69);
    EXPECT_EQ(parseNoteName("C4"), 60);
    EXPECT_EQ(parseNoteName("G#5"), 80);
    EXPECT_EQ(parseNoteName("Bb3"), 58);
    for (const char* bad : {"", "H4", "A", "A9", "Am4", "C#", "a4"})
        EXPECT_THROW(parseNoteName(bad), std::invalid_argument) << bad;

    Melody m = parseMelody("A4:3 r:2 C5:11");
    ASSERT_EQ(m.notes.size(), 2u);
    EXPECT_EQ(m.steps, 16);
    EXPECT_EQ(m.notes[1].step, 5);
    EXPECT_EQ(m.notes[1].length, 11);
    EXPECT_EQ(m.notes[1].pitch, 72);
    EXPECT_EQ(parseMelody("").steps, 0);
    for (const char* bad : {"A4", "A4:0", "A4:x", "A4:", "X4:2", "A4:2:3", "A4:99999999999"})
        EXPECT_THROW(parseMelody(bad), std::invalid_argument) << bad;

    EXPECT_EQ(parseChord("Am").triad, (std::vector<int>{9, 0, 4}));
    EXPECT_EQ(parseChord("F").triad, (std::vector<int>{5, 9, 0}));
    EXPECT_EQ(parseChord("G#m").triad, (std::vector<int>{8, 11, 3}));
    for (const char* bad : {"", "Amaj", "H", "mA", "A#mm"})
        EXPECT_THROW(parseChord(bad), std::invalid_argument) << bad;
    EXPECT_EQ(voiceInOctave(parseChord("Am"), 55), (std::vector<int>{57, 60, 64}));
    EXPECT_EQ(voiceInOctave(parseChord("G"), 55), (std::vector<int>{55, 59, 62}));
}

TEST(SynthArrangement, LayersPlayOnlyInTheirBarsAndHeldChordsAreOneNote)
{
    Groove g;
    Section s{
        "test",
        3,
        {"Am", "Am", "F"},
        "",
        g,
        {{Layer::Pad, 0, 3}, {Layer::Kick, 1, 2}, {Layer::Crash, 1, 3}, {Layer::Snare, 0, 3}, {Layer::Fill, 2, 3}}};
    Song song = arrange({s}, 125.0, 1.0);
    const int64_t step = 5292, bar = 16 * step;
    EXPECT_EQ(song.samplesPerStep, step);
    EXPECT_EQ(song.length, 3 * bar + 44100);
    std::map<Instrument, std::vector<const NoteEvent*>> by;
    for (const NoteEvent& e : song.events)
        by[e.instrument].push_back(&e);
    ASSERT_EQ(by[Instrument::Kick].size(), 4u);
    for (const NoteEvent* e : by[Instrument::Kick])
        EXPECT_TRUE(e->start >= bar && e->start < 2 * bar);
    ASSERT_EQ(by[Instrument::Crash].size(), 1u);
    EXPECT_EQ(by[Instrument::Crash][0]->start, bar);
    // Two backbeats in each of two bars, then the fill's twelve hits.
    EXPECT_EQ(by[Instrument::Snare].size(), 2u + 2u + 12u);
    // Am over two bars, then F: three notes each.
    ASSERT_EQ(by[Instrument::Pad].size(), 6u);
    EXPECT_EQ(by[Instrument::Pad][0]->length, 2 * bar - step / 2);
    EXPECT_EQ(by[Instrument::Pad][3]->start, 2 * bar);
    for (size_t i = 1; i < song.events.size(); ++i)
        EXPECT_LE(song.events[i - 1].start, song.events[i].start);
}

TEST(SynthArrangement, MalformedScoresAreRefused)
{
    Section good{"ok", 1, {"Am"}, "", Groove{}, {{Layer::Kick, 0, 1}}};
    EXPECT_NO_THROW(arrange({good}, 125.0, 0.0));
    Section s = good;
    s.groove.kick = "x...x...x...x..";
    EXPECT_THROW(arrange({s}, 125.0, 0.0), std::invalid_argument);
    s = good;
    s.groove.arp = "0123456701234567";
    EXPECT_THROW(arrange({s}, 125.0, 0.0), std::invalid_argument);
    s = good;
    s.layers = {{Layer::Kick, 0, 2}};
    EXPECT_THROW(arrange({s}, 125.0, 0.0), std::invalid_argument);
    s = good;
    s.chords = {};
    EXPECT_THROW(arrange({s}, 125.0, 0.0), std::invalid_argument);
    s = good;
    s.chords = {"Xm"};
    EXPECT_THROW(arrange({s}, 125.0, 0.0), std::invalid_argument);
    EXPECT_THROW(arrange({good}, 0.0, 0.0), std::invalid_argument);
}

TEST(VexaSong, StructureAndLengthFollowTheScore)
{
    std::vector<Section> sections = vexaSections();
    Song song = vexaSong();
    const char* names[] = {"intro", "build", "theme", "chorus", "break", "finale", "outro"};
    ASSERT_EQ(song.sections.size(), 7u);
    int64_t bars = 0;
    for (size_t i = 0; i < song.sections.size(); ++i) {
        EXPECT_EQ(song.sections[i].name, names[i]);
        EXPECT_EQ(song.sections[i].start, bars * 16 * song.samplesPerStep);
        EXPECT_EQ(song.sections[i].bars, sections[i].bars);
        EXPECT_EQ(parseMelody(sections[i].melody).steps % 16, 0) << names[i]; // whole bars
        bars += sections[i].bars;
    }
    EXPECT_EQ(song.samplesPerStep, 5292);
    EXPECT_EQ(song.length, bars * 16 * 5292 + std::llround(kVexaTailSeconds * kSampleRate));
    EXPECT_GE(song.length, 120 * kSampleRate);
    EXPECT_LE(song.length, 180 * kSampleRate);
    // Every note rings out before the end: nothing is cut off.
    for (const NoteEvent& e : song.events) {
        ASSERT_GE(e.start, 0);
        ASSERT_LE(e.start + int64_t(voiceLength(e)), song.length) << instrumentName(e.instrument);
    }
}

TEST(VexaSong, SectionsSoundDifferent)
{
    Song song = vexaSong();
    auto intro = instrumentsIn(song, song.sections[0]);
    auto theme = instrumentsIn(song, song.sections[2]);
    auto chorus = instrumentsIn(song, song.sections[3]);
    auto breakdown = instrumentsIn(song, song.sections[4]);
    auto finale = instrumentsIn(song, song.sections[5]);
    EXPECT_EQ(intro.count(Instrument::Kick) + intro.count(Instrument::Bass) + intro.count(Instrument::Lead), 0u);
    EXPECT_GT(theme.count(Instrument::Lead), 0u);
    EXPECT_EQ(breakdown.count(Instrument::Kick), 0u);
    EXPECT_GT(breakdown.count(Instrument::Bell), 0u);
    EXPECT_EQ(finale.count(Instrument::Lead), 2 * chorus.count(Instrument::Lead)); // doubled an octave up
    EXPECT_GT(finale.count(Instrument::OpenHat), 0u);
}

// tools/make-music.sh was run after the score last changed length.
TEST(VexaSong, CommittedMusicHasTheScoresLength)
{
    Song song = vexaSong();
    long long ms = std::llround(song.length * 1000.0 / kSampleRate);
    EXPECT_EQ(readFile(DEMO_MUSIC_DIR "/vexa.txt"), "duration_ms=" + std::to_string(ms) + "\n");
    std::string mp3 = readFile(DEMO_MUSIC_DIR "/vexa.mp3");
    ASSERT_GE(mp3.size(), 4u);
    EXPECT_EQ(uint8_t(mp3[0]), 0xFF); // an MPEG-1 Layer III frame first
    EXPECT_EQ(uint8_t(mp3[1]) & 0xFE, 0xFA);
    // 160 kbit/s: 20000 bytes a second, give or take the frame rounding.
    EXPECT_NEAR(double(mp3.size()), ms * 20.0, ms * 20.0 * 0.01);
    EXPECT_LT(mp3.size(), 4u << 20);
}

TEST(SynthWavFile, HeaderAndSamplesReadBack)
{
    TempDir dir;
    std::string path = dir.file("out.wav");
    std::string error;
    std::vector<int16_t> samples = {0, -1, 32767, -32768, 258, -258};
    ASSERT_TRUE(writeWav(path, samples, 2, 44100, error)) << error;
    std::string b = readFile(path);
    ASSERT_EQ(b.size(), 44u + 12u);
    EXPECT_EQ(b.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(b, 4), b.size() - 8);
    EXPECT_EQ(b.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(b, 16), 16u);
    EXPECT_EQ(le16(b, 20), 1u); // PCM
    EXPECT_EQ(le16(b, 22), 2u); // channels
    EXPECT_EQ(le32(b, 24), 44100u);
    EXPECT_EQ(le32(b, 28), 176400u); // bytes per second
    EXPECT_EQ(le16(b, 32), 4u);      // bytes per frame
    EXPECT_EQ(le16(b, 34), 16u);
    EXPECT_EQ(b.substr(36, 4), "data");
    EXPECT_EQ(le32(b, 40), 12u);
    for (size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(int16_t(le16(b, 44 + 2 * i)), samples[i]);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(SynthWavFile, FailuresAreReportedAndKeepTheEarlierFile)
{
    TempDir dir;
    std::string error;
    EXPECT_FALSE(writeWav(dir.file("missing/out.wav"), {0, 0}, 2, 44100, error));
    EXPECT_NE(error.find("missing/out.wav"), std::string::npos) << error;
    EXPECT_FALSE(writeWav(dir.file("odd.wav"), {0, 0, 0}, 2, 44100, error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("odd.wav")));

    std::string kept = dir.write("kept.wav", "earlier");
    std::filesystem::create_directory(kept + ".part"); // the write cannot happen
    EXPECT_FALSE(writeWav(kept, {1, 2}, 2, 44100, error));
    EXPECT_EQ(readFile(kept), "earlier");
}

TEST(SynthRender, ShortScoreIsDeterministicLevelledAndClean)
{
    Song song = shortSong();
    TempDir dir;
    std::string error;
    std::vector<int16_t> first = renderSong(song);
    ASSERT_TRUE(writeWav(dir.file("a.wav"), first, 2, kSampleRate, error)) << error;
    ASSERT_TRUE(writeWav(dir.file("b.wav"), renderSong(song), 2, kSampleRate, error)) << error;
    EXPECT_EQ(readFile(dir.file("a.wav")), readFile(dir.file("b.wav")));

    ASSERT_EQ(first.size(), size_t(2 * song.length));
    double energy = 0.0, sum = 0.0;
    int peak = 0;
    for (int16_t s : first) {
        energy += double(s) * s;
        sum += s;
        peak = std::max(peak, std::abs(int(s)));
    }
    double rms = std::sqrt(energy / first.size()) / 32768.0;
    EXPECT_GT(20 * std::log10(rms), -20.0);
    EXPECT_LE(peak, int(std::ceil(LimiterSettings{}.ceiling * 32767)));
    EXPECT_LT(std::fabs(sum / first.size()), 0.002 * 32768); // no DC
    EXPECT_EQ(first[first.size() - 2], 0);
    EXPECT_EQ(first.back(), 0);
}

} // namespace
