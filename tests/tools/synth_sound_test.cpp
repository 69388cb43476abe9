// The synthesiser's building blocks: oscillators, noise, envelopes, filters,
// instruments, echo, panning and the limiter.
#include "echo.h"
#include "envelope.h"
#include "filter.h"
#include "instruments.h"
#include "limiter.h"
#include "mixer.h"
#include "oscillator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace {

std::vector<float> run(Oscillator& osc, size_t samples)
{
    std::vector<float> out(samples);
    for (float& s : out)
        s = osc.next();
    return out;
}

int risingZeroCrossings(const std::vector<float>& signal)
{
    int count = 0;
    for (size_t i = 1; i < signal.size(); ++i)
        if (signal[i - 1] < 0.0f && signal[i] >= 0.0f)
            ++count;
    return count;
}

// Amplitude of the component at `hz` (a single-bin DFT over whole periods
// of the analysis window).
double amplitudeAt(const std::vector<float>& signal, double hz)
{
    std::complex<double> sum;
    for (size_t i = 0; i < signal.size(); ++i)
        sum += double(signal[i]) * std::polar(1.0, -2.0 * kPi * hz * i / kSampleRate);
    return 2.0 * std::abs(sum) / signal.size();
}

double amplitudeThrough(LowPass& lp, HighPass* hp, double hz)
{
    Oscillator sine(Waveform::Sine);
    sine.setFrequency(hz);
    double peak = 0.0;
    for (int i = 0; i < kSampleRate / 2; ++i) {
        float x = sine.next();
        float y = hp ? hp->process(x) : lp.process(x);
        if (i > kSampleRate / 4) // settled
            peak = std::max(peak, double(std::fabs(y)));
    }
    return peak;
}

TEST(SynthOscillator, EveryWaveformRunsAtItsFrequency)
{
    for (Waveform shape : {Waveform::Sine, Waveform::Saw, Waveform::Square, Waveform::Triangle}) {
        for (double hz : {110.0, 440.0, 1234.0, 5000.0}) {
            Oscillator osc(shape);
            osc.setFrequency(hz);
            std::vector<float> second = run(osc, kSampleRate);
            EXPECT_NEAR(risingZeroCrossings(second), hz, 1.0) << "waveform " << int(shape) << " at " << hz;
        }
    }
}

TEST(SynthOscillator, SawIsBandLimitedAndPulseHasNoDc)
{
    // A 2960 Hz saw's 10th harmonic (29600 Hz) folds back to 14500 Hz,
    // which is no harmonic of the note: its level there is the aliasing.
    const double hz = 2960.0, alias = 14500.0;
    Oscillator saw(Waveform::Saw);
    saw.setFrequency(hz);
    std::vector<float> corrected = run(saw, 22050);
    std::vector<float> naive(corrected.size());
    for (size_t i = 0; i < naive.size(); ++i) {
        double phase = std::fmod(hz * i / kSampleRate, 1.0);
        naive[i] = float(2.0 * phase - 1.0);
    }
    EXPECT_NEAR(amplitudeAt(corrected, hz), 2.0 / kPi, 0.03); // a saw's fundamental
    EXPECT_LT(amplitudeAt(corrected, alias), 0.25 * amplitudeAt(naive, alias));

    Oscillator pulse(Waveform::Square);
    pulse.setFrequency(441.0);
    pulse.setPulseWidth(0.2);
    std::vector<float> wave = run(pulse, kSampleRate);
    double mean = 0.0;
    for (float s : wave)
        mean += s;
    EXPECT_NEAR(mean / wave.size(), 0.0, 0.01);
}

TEST(SynthNoise, SeededStreamsRepeatAndStayInRange)
{
    Noise a(42), b(42), c(43), zero(0);
    double mean = 0.0;
    bool differs = false;
    for (int i = 0; i < 10000; ++i) {
        float x = a.next();
        ASSERT_EQ(x, b.next());
        differs |= x != c.next();
        ASSERT_GE(x, -1.0f);
        ASSERT_LT(x, 1.0f);
        ASSERT_NE(zero.next(), zero.next()); // seed 0 does not stick
        mean += x;
    }
    EXPECT_TRUE(differs);
    EXPECT_NEAR(mean / 10000, 0.0, 0.03);
}

TEST(SynthEnvelope, ShapeFromAttackToTheEndOfTheRelease)
{
    Adsr e{0.01, 0.05, 0.5, 0.1};
    EXPECT_EQ(adsrLevel(e, 0.0, 1.0), 0.0);
    EXPECT_NEAR(adsrLevel(e, 0.005, 1.0), 0.5, 1e-9); // linear attack
    EXPECT_NEAR(adsrLevel(e, 0.01, 1.0), 1.0, 1e-9);
    EXPECT_NEAR(adsrLevel(e, 0.01 + 0.05, 1.0), 0.5 + 0.5 / std::exp(1.0), 1e-9);
    EXPECT_NEAR(adsrLevel(e, 0.9, 1.0), 0.5, 1e-6); // sustained
    EXPECT_NEAR(adsrLevel(e, 1.05, 1.0), 0.5 * 0.25, 1e-6);
    EXPECT_EQ(adsrLevel(e, 1.1, 1.0), 0.0);
    EXPECT_EQ(adsrLevel(e, 5.0, 1.0), 0.0);
    EXPECT_DOUBLE_EQ(adsrLength(e, 1.0), 1.1);
    // A gate shorter than the attack releases from where the attack got to.
    EXPECT_NEAR(adsrLevel(e, 0.004, 0.004), 0.4, 1e-9);
    EXPECT_LT(adsrLevel(e, 0.005, 0.004), 0.4);
}

TEST(SynthEnvelope, NoStepsEvenWithZeroAttackAndRelease)
{
    for (Adsr e : {Adsr{0.0, 0.1, 0.8, 0.0}, Adsr{0.001, 0.02, 0.0, 0.001}, Adsr{0.3, 0.5, 0.7, 0.6}}) {
        double gate = 0.05;
        double previous = 0.0;
        double largest = 0.0;
        size_t end = size_t(adsrLength(e, gate) * kSampleRate) + 10;
        for (size_t i = 0; i <= end; ++i) {
            double level = adsrLevel(e, double(i) / kSampleRate, gate);
            largest = std::max(largest, std::fabs(level - previous));
            previous = level;
        }
        EXPECT_EQ(previous, 0.0);
        // The steepest edge, a 1 ms release from full level, starts at twice
        // the slope of a straight 1 ms ramp and flattens out.
        EXPECT_LE(largest, 2.0 / (kMinimumEdge * kSampleRate) + 1e-9);
    }
}

TEST(SynthFilter, LowAndHighPassKeepAndRemoveTheRightTones)
{
    LowPass low1(1000.0), low2(1000.0), low3(1000.0);
    EXPECT_NEAR(amplitudeThrough(low1, nullptr, 100.0), 1.0, 0.02);
    EXPECT_NEAR(amplitudeThrough(low2, nullptr, 1000.0), std::sqrt(0.5), 0.03);
    EXPECT_LT(amplitudeThrough(low3, nullptr, 8000.0), 0.03);
    LowPass unused;
    HighPass high1(1000.0), high2(1000.0);
    EXPECT_LT(amplitudeThrough(unused, &high1, 50.0), 0.08);
    EXPECT_GT(amplitudeThrough(unused, &high2, 8000.0), 0.9);
}

TEST(SynthInstruments, EveryNoteStartsAndEndsAtSilence)
{
    for (int k = 0; k < kInstrumentCount; ++k) {
        NoteEvent note;
        note.instrument = Instrument(k);
        note.length = secondsToSamples(0.2);
        note.pitch = 57;
        SCOPED_TRACE(instrumentName(note.instrument));
        StereoBuffer voice = renderNote(note);
        ASSERT_EQ(voice.frames(), voiceLength(note));
        ASSERT_GT(voice.frames(), secondsToSamples(0.05));
        float peak = 0.0f;
        for (size_t i = 0; i < voice.frames(); ++i) {
            ASSERT_TRUE(std::isfinite(voice.left[i]) && std::isfinite(voice.right[i]));
            peak = std::max({peak, std::fabs(voice.left[i]), std::fabs(voice.right[i])});
        }
        EXPECT_GT(peak, 0.05f);
        EXPECT_LT(peak, 2.0f);
        EXPECT_EQ(voice.left[0], 0.0f);
        EXPECT_EQ(voice.right[0], 0.0f);
        // The first and the last millisecond stay far below the note's peak.
        size_t edge = secondsToSamples(kMinimumEdge);
        for (size_t i = 0; i < edge / 4; ++i)
            EXPECT_LT(std::fabs(voice.left[i]), 0.3f * peak) << "sample " << i;
        for (size_t i = voice.frames() - edge / 4; i < voice.frames(); ++i)
            EXPECT_LT(std::fabs(voice.left[i]), 0.01f * peak) << "sample " << i;
    }
}

TEST(SynthInstruments, MelodicNotesLastAsLongAsTheirGateAndDrumsDoNot)
{
    NoteEvent lead{Instrument::Lead, 0, 44100, 69, 1.0f, 1.0f, 1};
    NoteEvent shortLead = lead;
    shortLead.length = 4410;
    EXPECT_EQ(voiceLength(lead) - voiceLength(shortLead), size_t(44100 - 4410));
    NoteEvent kick{Instrument::Kick, 0, 44100, 0, 1.0f, 1.0f, 1};
    NoteEvent shortKick = kick;
    shortKick.length = 10;
    EXPECT_EQ(voiceLength(kick), voiceLength(shortKick));
    // The same note twice is the same sound; the seed changes the noise.
    NoteEvent snare{Instrument::Snare, 0, 0, 0, 1.0f, 1.0f, 5};
    EXPECT_EQ(renderNote(snare).left, renderNote(snare).left);
    NoteEvent other = snare;
    other.seed = 6;
    EXPECT_NE(renderNote(snare).left, renderNote(other).left);
}

TEST(SynthMixer, PanningKeepsPowerAndPlacesNotes)
{
    for (float pan : {0.0f, 0.2f, 0.5f, 0.9f, 1.0f}) {
        auto g = panGains(pan);
        EXPECT_NEAR(g[0] * g[0] + g[1] * g[1], 1.0f, 1e-6f);
    }
    EXPECT_NEAR(panGains(0.0f)[1], 0.0f, 1e-7f);
    EXPECT_NEAR(panGains(1.0f)[0], 0.0f, 1e-7f);

    TrackTable tracks{};
    tracks[int(Instrument::Lead)] = {0.5f, 0.0f, 0.25f, false};
    Mixer mixer(100, tracks);
    StereoBuffer voice(10);
    for (size_t i = 0; i < 10; ++i)
        voice.left[i] = voice.right[i] = 1.0f;
    NoteEvent note{Instrument::Lead, 95, 0, 69, 1.0f, 1.0f, 1};
    mixer.add(note, voice); // runs past the end: cut, not overrun
    EXPECT_EQ(mixer.dry().left[94], 0.0f);
    EXPECT_FLOAT_EQ(mixer.dry().left[95], 0.5f);
    EXPECT_FLOAT_EQ(mixer.dry().left[99], 0.5f);
    EXPECT_NEAR(mixer.dry().right[97], 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(mixer.echoSend().left[97], 0.125f);
}

TEST(SynthEcho, RepeatsAlternateSidesAtTheDelayAndFade)
{
    StereoBuffer input(1000);
    input.left[0] = input.right[0] = 1.0f;
    StereoBuffer wet = pingPongEcho(input, {100, 0.5f, 8000.0});
    auto sum = [](const std::vector<float>& v, size_t from, size_t to) {
        double s = 0.0;
        for (size_t i = from; i < to; ++i)
            s += v[i];
        return s;
    };
    EXPECT_EQ(sum(wet.left, 0, 100) + sum(wet.right, 0, 200), 0.0);
    EXPECT_FLOAT_EQ(wet.left[100], 1.0f);
    EXPECT_NEAR(sum(wet.right, 200, 300), 0.5, 1e-3);
    EXPECT_NEAR(sum(wet.left, 101, 300), 0.0, 1e-6);
    EXPECT_NEAR(sum(wet.left, 300, 400), 0.25, 1e-3);
    EXPECT_NEAR(sum(wet.right, 400, 500), 0.125, 1e-3);
}

TEST(SynthLimiter, NothingPassesTheCeilingAndQuietMusicIsUntouched)
{
    LimiterSettings settings;
    Noise noise(7);
    StereoBuffer loud(44100);
    for (size_t i = 0; i < loud.frames(); ++i) {
        loud.left[i] = 4.0f * noise.next();
        loud.right[i] = i % 997 == 0 ? -50.0f : 0.5f * noise.next();
    }
    limit(loud, settings);
    for (size_t i = 0; i < loud.frames(); ++i) {
        ASSERT_LE(std::fabs(loud.left[i]), settings.ceiling) << i;
        ASSERT_LE(std::fabs(loud.right[i]), settings.ceiling) << i;
    }

    StereoBuffer quiet(1000);
    for (size_t i = 0; i < quiet.frames(); ++i)
        quiet.left[i] = quiet.right[i] = 0.8f * settings.ceiling * float(std::sin(i * 0.05));
    StereoBuffer before = quiet;
    limit(quiet, settings);
    EXPECT_EQ(quiet.left, before.left);
    EXPECT_EQ(quiet.right, before.right);
}

TEST(SynthLimiter, GainDipsAheadOfAPeakAndRecoversAfterIt)
{
    LimiterSettings settings;
    StereoBuffer b(44100);
    for (size_t i = 0; i < b.frames(); ++i)
        b.left[i] = b.right[i] = 0.5f;
    const size_t peak = 22050;
    b.left[peak] = 2.0f;
    limit(b, settings);
    size_t attack = secondsToSamples(settings.attackSeconds);
    EXPECT_FLOAT_EQ(b.left[peak], settings.ceiling);
    EXPECT_EQ(b.left[peak - attack - 10], 0.5f);
    // On the ramp the gain is already lower, not still at 1.
    EXPECT_LT(b.left[peak - attack / 4], 0.45f);
    EXPECT_GT(b.left[peak - attack / 4], 0.5f * settings.ceiling / 2.0f);
    // A smooth recovery: no sample-to-sample step after the peak.
    for (size_t i = peak + 2; i < b.frames(); ++i)
        ASSERT_LT(std::fabs(b.left[i] - b.left[i - 1]), 0.01f) << i;
    EXPECT_NEAR(b.left.back(), 0.5f, 0.02f);
}

TEST(SynthLimiter, SixteenBitConversionSaturatesInsteadOfWrapping)
{
    StereoBuffer b(3);
    b.left = {1.0f, 2.0f, 0.5f};
    b.right = {-1.0f, -2.0f, -0.25f};
    std::vector<int16_t> pcm = toPcm16(b);
    EXPECT_EQ(pcm, (std::vector<int16_t>{32767, -32767, 32767, -32768, 16384, -8192}));
}

} // namespace
