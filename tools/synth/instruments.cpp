#include "instruments.h"

#include "envelope.h"
#include "filter.h"
#include "oscillator.h"

#include <algorithm>
#include <cmath>

namespace {

// Drums sound for a fixed time, whatever the score's note length.
struct DrumShape {
    Adsr envelope;
    double gate;
};

DrumShape drumShape(Instrument instrument)
{
    switch (instrument) {
    case Instrument::Kick: return {{0.001, 0.22, 0.0, 0.05}, 0.40};
    case Instrument::Snare: return {{0.001, 0.11, 0.0, 0.06}, 0.22};
    case Instrument::HiHat: return {{0.001, 0.03, 0.0, 0.02}, 0.06};
    case Instrument::OpenHat: return {{0.001, 0.14, 0.0, 0.08}, 0.30};
    case Instrument::Crash: return {{0.002, 0.70, 0.0, 0.30}, 1.60};
    default: return {{}, 0.0};
    }
}

bool isDrum(Instrument instrument)
{
    return drumShape(instrument).gate > 0.0;
}

Adsr melodicEnvelope(Instrument instrument)
{
    switch (instrument) {
    case Instrument::Bass: return {0.003, 0.25, 0.6, 0.04};
    case Instrument::Pad: return {0.35, 0.6, 0.8, 0.9};
    case Instrument::Lead: return {0.008, 0.35, 0.75, 0.12};
    case Instrument::Arp: return {0.002, 0.16, 0.0, 0.05};
    case Instrument::Bell: return {0.003, 0.9, 0.0, 0.3};
    default: return {};
    }
}

double gateSeconds(const NoteEvent& note)
{
    if (isDrum(note.instrument))
        return drumShape(note.instrument).gate;
    return static_cast<double>(std::max<int64_t>(note.length, 0)) / kSampleRate;
}

Adsr envelopeOf(Instrument instrument)
{
    return isDrum(instrument) ? drumShape(instrument).envelope : melodicEnvelope(instrument);
}

double cents(double amount)
{
    return std::pow(2.0, amount / 1200.0);
}

// Writes a mono voice to both sides.
void setMono(StereoBuffer& out, size_t i, double value)
{
    out.left[i] = out.right[i] = static_cast<float>(value);
}

void renderBass(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    double hz = midiToHz(note.pitch);
    Oscillator saw(Waveform::Saw), square(Waveform::Square), sub(Waveform::Sine);
    saw.setFrequency(hz);
    square.setFrequency(hz * cents(5));
    sub.setFrequency(hz);
    LowPass filter;
    double b = note.brightness;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        filter.set(110.0 + 200.0 * b + (300.0 + 2000.0 * b) * std::exp(-t / 0.12), 1.4);
        double body = filter.process(0.55f * saw.next() + 0.35f * square.next());
        setMono(out, i, (body + 0.5 * sub.next()) * adsrLevel(env, t, gate) * note.velocity);
    }
}

void renderPad(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    // Three voices slightly out of tune with each other, spread across the
    // stereo field: the chorus that makes the pad wide and alive.
    const double detune[3] = {-9.0, 0.0, 8.0};
    const double pan[3] = {0.15, 0.5, 0.85};
    double hz = midiToHz(note.pitch);
    Noise random(note.seed);
    double lfoPhase = random.uniform();
    double base = 350.0 + 2800.0 * std::pow(note.brightness, 1.5);
    for (int v = 0; v < 3; ++v) {
        Oscillator saw(Waveform::Saw, random.uniform());
        saw.setFrequency(hz * cents(detune[v]));
        LowPass filter;
        double toLeft = std::cos(pan[v] * kPi / 2) / 3.0;
        double toRight = std::sin(pan[v] * kPi / 2) / 3.0;
        for (size_t i = 0; i < out.frames(); ++i) {
            double t = static_cast<double>(i) / kSampleRate;
            filter.set(base * (1.0 + 0.15 * std::sin(2.0 * kPi * (0.25 * t + lfoPhase))), 0.9);
            double s = filter.process(saw.next()) * adsrLevel(env, t, gate) * note.velocity;
            out.left[i] += static_cast<float>(s * toLeft);
            out.right[i] += static_cast<float>(s * toRight);
        }
    }
}

void renderLead(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    double hz = midiToHz(note.pitch);
    Oscillator pulse(Waveform::Square), saw(Waveform::Saw);
    pulse.setPulseWidth(0.3);
    LowPass filter;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        // Vibrato fades in after the note has settled, as a singer's would.
        double depth = 0.22 * std::clamp((t - 0.18) / 0.25, 0.0, 1.0);
        double f = hz * std::pow(2.0, depth * std::sin(2.0 * kPi * 5.6 * t) / 12.0);
        pulse.setFrequency(f);
        saw.setFrequency(f * cents(6));
        filter.set(1800.0 + 3200.0 * note.brightness + 1200.0 * std::exp(-t / 0.2), 1.1);
        double s = filter.process(0.5f * pulse.next() + 0.5f * saw.next());
        setMono(out, i, s * adsrLevel(env, t, gate) * note.velocity);
    }
}

void renderArp(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    Oscillator square(Waveform::Square);
    square.setFrequency(midiToHz(note.pitch));
    LowPass filter;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        filter.set(300.0 + (700.0 + 5000.0 * note.brightness) * std::exp(-t / 0.07), 2.0);
        setMono(out, i, filter.process(square.next()) * adsrLevel(env, t, gate) * note.velocity);
    }
}

void renderBell(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    // Modulator at twice the carrier: harmonic, glassy; its depth falls
    // after the strike, so the tone softens as it rings.
    double hz = midiToHz(note.pitch);
    Oscillator modulator(Waveform::Sine);
    modulator.setFrequency(2.0 * hz);
    double carrierPhase = 0.0;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        double index = 0.3 + 1.8 * std::exp(-t / 0.25);
        double s = std::sin(2.0 * kPi * carrierPhase + index * modulator.next());
        carrierPhase += hz / kSampleRate;
        carrierPhase -= std::floor(carrierPhase);
        setMono(out, i, s * adsrLevel(env, t, gate) * note.velocity);
    }
}

void renderKick(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    Noise click(note.seed);
    double phase = 0.0;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        double hz = 48.0 + 120.0 * std::exp(-t / 0.035);
        double s = std::sin(2.0 * kPi * phase) + 0.15 * click.next() * std::exp(-t / 0.002);
        phase += hz / kSampleRate;
        phase -= std::floor(phase);
        // A little saturation gives the body some punch.
        s = std::tanh(1.4 * s) / std::tanh(1.4);
        setMono(out, i, s * adsrLevel(env, t, gate) * note.velocity);
    }
}

void renderSnare(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    Noise noise(note.seed);
    HighPass thin(1500.0);
    double phase = 0.0;
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        double tone = std::sin(2.0 * kPi * phase) * std::exp(-t / 0.06);
        phase += (180.0 + 60.0 * std::exp(-t / 0.02)) / kSampleRate;
        phase -= std::floor(phase);
        double rattle = thin.process(noise.next()) * std::exp(-t / 0.11);
        setMono(out, i, (0.5 * tone + 0.8 * rattle) * adsrLevel(env, t, gate) * note.velocity);
    }
}

// Hats and crash: high-passed noise, a separate stream per side for the
// crash so that it sounds wide.
void renderMetal(const NoteEvent& note, const Adsr& env, double gate, StereoBuffer& out)
{
    bool wide = note.instrument == Instrument::Crash;
    double cutoff = wide ? 3500.0 : 6000.0;
    Noise leftNoise(note.seed), rightNoise(note.seed + 7919u);
    HighPass left1(cutoff), left2(cutoff), right1(cutoff), right2(cutoff);
    LowPass leftSoft(13000.0), rightSoft(13000.0);
    for (size_t i = 0; i < out.frames(); ++i) {
        double t = static_cast<double>(i) / kSampleRate;
        double level = adsrLevel(env, t, gate) * note.velocity;
        float l = leftNoise.next();
        float r = wide ? rightNoise.next() : l;
        out.left[i] = static_cast<float>(leftSoft.process(left2.process(left1.process(l))) * level);
        out.right[i] = wide ? static_cast<float>(rightSoft.process(right2.process(right1.process(r))) * level)
                            : out.left[i];
    }
}

} // namespace

const char* instrumentName(Instrument instrument)
{
    static const char* const names[kInstrumentCount] = {"bass", "pad",   "lead",  "arp",     "bell",
                                                        "kick", "snare", "hihat", "openhat", "crash"};
    return names[static_cast<int>(instrument)];
}

size_t voiceLength(const NoteEvent& note)
{
    return secondsToSamples(adsrLength(envelopeOf(note.instrument), gateSeconds(note)));
}

StereoBuffer renderNote(const NoteEvent& note)
{
    StereoBuffer out(voiceLength(note));
    Adsr env = envelopeOf(note.instrument);
    double gate = gateSeconds(note);
    switch (note.instrument) {
    case Instrument::Bass: renderBass(note, env, gate, out); break;
    case Instrument::Pad: renderPad(note, env, gate, out); break;
    case Instrument::Lead: renderLead(note, env, gate, out); break;
    case Instrument::Arp: renderArp(note, env, gate, out); break;
    case Instrument::Bell: renderBell(note, env, gate, out); break;
    case Instrument::Kick: renderKick(note, env, gate, out); break;
    case Instrument::Snare: renderSnare(note, env, gate, out); break;
    case Instrument::HiHat:
    case Instrument::OpenHat:
    case Instrument::Crash: renderMetal(note, env, gate, out); break;
    }
    return out;
}
