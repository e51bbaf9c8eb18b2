// Instrument and effect implementations. Every random-sounding part (noise, phases, detune) is seeded
// from the note's own start sample, so a render is the same on every run.
#include "synth.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double TwoPi = 6.283185307179586;

size_t sampleAt(double t) { return t <= 0 ? 0 : size_t(std::llround(t * SampleRate)); }

// Noise seeded per note: a xorshift stream, uniform in [-1, 1).
class Noise {
public:
    explicit Noise(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    float next()
    {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return float(int64_t(s_ >> 40) - (int64_t(1) << 23)) / float(int64_t(1) << 23);
    }

private:
    uint64_t s_;
};

// RBJ biquad, direct form I.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    static Biquad make(int kind, double hz, double q)  // 0 low-pass, 1 high-pass, 2 band-pass
    {
        Biquad f;
        const double w = TwoPi * hz / SampleRate, cw = std::cos(w), alpha = std::sin(w) / (2 * q);
        const double a0 = 1 + alpha;
        if (kind == 0) {
            f.b0 = (1 - cw) / 2 / a0, f.b1 = (1 - cw) / a0, f.b2 = (1 - cw) / 2 / a0;
        } else if (kind == 1) {
            f.b0 = (1 + cw) / 2 / a0, f.b1 = -(1 + cw) / a0, f.b2 = (1 + cw) / 2 / a0;
        } else {
            f.b0 = alpha / a0, f.b1 = 0, f.b2 = -alpha / a0;
        }
        f.a1 = -2 * cw / a0;
        f.a2 = (1 - alpha) / a0;
        return f;
    }
    float run(float x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1, x1 = x, y2 = y1, y1 = y;
        return float(y);
    }
};

// State-variable low-pass (topology-preserving), stable while its cutoff moves. The cutoff is read
// every 16 samples: envelopes move slowly next to that, and tan() per sample is most of a render's time.
struct SvfLowpass {
    double ic1 = 0, ic2 = 0;
    double a1 = 0, a2 = 0, a3 = 0;
    unsigned count = 0;
    float run(float x, double hz, double resonance)
    {
        if (count++ % 16 == 0) {
            const double g = std::tan(M_PI * std::min(hz, 0.45 * SampleRate) / SampleRate);
            const double k = 2 - 2 * resonance;
            a1 = 1 / (1 + g * (g + k));
            a2 = g * a1;
            a3 = g * a2;
        }
        const double v3 = x - ic2;
        const double v1 = a1 * ic1 + a2 * v3;
        const double v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2 * v1 - ic1;
        ic2 = 2 * v2 - ic2;
        return float(v2);
    }
};

// Band-limited sawtooth (polyBLEP), phase in cycles.
double polyBlep(double phase, double inc)
{
    if (phase < inc) {
        const double t = phase / inc;
        return t + t - t * t - 1;
    }
    if (phase > 1 - inc) {
        const double t = (phase - 1) / inc;
        return t * t + t + t + 1;
    }
    return 0;
}

double saw(double phase, double inc) { return 2 * phase - 1 - polyBlep(phase, inc); }

double square(double phase, double inc)
{
    double p2 = phase + 0.5;
    if (p2 >= 1) p2 -= 1;
    return (phase < 0.5 ? 1.0 : -1.0) + polyBlep(phase, inc) - polyBlep(p2, inc);
}

// Equal-power pan gains, computed once per voice.
struct Pan {
    float l, r;
    explicit Pan(float pan)
    {
        const float a = float((pan + 1) * 0.25 * M_PI);
        l = std::cos(a) * 1.41421356f;
        r = std::sin(a) * 1.41421356f;
    }
};

void add(Bus& b, size_t i, float v, const Pan& pan)
{
    if (i >= b.frames()) return;
    b.l[i] += v * pan.l;
    b.r[i] += v * pan.r;
}

// Gain over the last 20 ms of a voice's buffer: decays cut off at the end would click.
double tailGain(size_t i, size_t len)
{
    constexpr size_t Fade = SampleRate / 50;
    return i + Fade >= len ? double(len - i) / double(Fade) : 1.0;
}

float hashPhase(uint64_t a, uint64_t b)
{
    Noise n(a * 1315423911ull + b);
    return 0.5f + 0.5f * n.next();
}

}  // namespace

void Bus::mixInto(Bus& dst, float gain) const
{
    const size_t n = std::min(frames(), dst.frames());
    for (size_t i = 0; i < n; ++i) {
        dst.l[i] += l[i] * gain;
        dst.r[i] += r[i] * gain;
    }
}

double noteHz(int midi) { return BinHz * std::pow(2.0, (midi - 41) / 12.0); }

void kick(Bus& b, double t, float velocity)
{
    const Pan placement(0);
    const size_t start = sampleAt(t), len = size_t(0.4 * SampleRate);
    double phase = 0;
    Noise noise(start);
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        // The body settles on analysis bin 1 (F2): a tone on a bin centre does not smear into the others.
        const double hz = BinHz + 150 * std::exp(-tau / 0.012);
        phase += hz / SampleRate;
        const double env = std::exp(-tau / 0.17) * (1 - std::exp(-tau / 0.0008));
        double v = std::sin(TwoPi * phase) * env;
        v += 0.12 * noise.next() * std::exp(-tau / 0.002);
        v = std::tanh(1.6 * v) / std::tanh(1.6);
        add(b, start + i, float(v * velocity * tailGain(i, len)), placement);
    }
}

void snare(Bus& b, double t, float velocity)
{
    const Pan placement(0);
    const size_t start = sampleAt(t), len = size_t(0.35 * SampleRate);
    const double body = 2 * BinHz;   // F3: the analysis bin the circle grids listen to
    Noise noise(start + 17);
    Biquad bp = Biquad::make(2, 3800, 0.7), hp = Biquad::make(1, 900, 0.7);
    double phase = 0;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        phase += body * (1 + 0.35 * std::exp(-tau / 0.006)) / SampleRate;
        const double tone = std::sin(TwoPi * phase) * std::exp(-tau / 0.08);
        const double rattle = hp.run(bp.run(noise.next())) * std::exp(-tau / 0.075) * 2.2;
        const double attack = 1 - std::exp(-tau / 0.0005);
        add(b, start + i, float((0.75 * tone + 0.55 * rattle) * attack * velocity * tailGain(i, len)), placement);
    }
}

void hat(Bus& b, double t, float velocity, bool open, float pan)
{
    const Pan placement(pan);
    const size_t start = sampleAt(t), len = size_t((open ? 0.5 : 0.09) * SampleRate);
    Noise noise(start + 31);
    Biquad h1 = Biquad::make(1, 7000, 0.7), h2 = Biquad::make(1, 7000, 0.7);
    const double decay = open ? 0.16 : 0.025;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        const double v = h2.run(h1.run(noise.next())) * std::exp(-tau / decay);
        add(b, start + i, float(v * velocity * 0.8 * tailGain(i, len)), placement);
    }
}

void crash(Bus& b, double t, float velocity, float pan)
{
    const size_t start = sampleAt(t), len = size_t(2.6 * SampleRate);
    Noise nl(start + 41), nr(start + 43);
    Biquad hl1 = Biquad::make(1, 4500, 0.7), hl2 = Biquad::make(1, 4500, 0.7);
    Biquad hr1 = Biquad::make(1, 4500, 0.7), hr2 = Biquad::make(1, 4500, 0.7);
    // Metallic shimmer: inharmonic square partials, as in analogue cymbals.
    constexpr double Partials[] = {3150.0, 4230.0, 5370.0, 6610.0, 7930.0, 9120.0};
    double ph[6] = {};
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        const double env = std::exp(-tau / 0.75) * (1 - std::exp(-tau / 0.002)) * tailGain(i, len);
        double metal = 0;
        for (int k = 0; k < 6; ++k) {
            ph[k] += Partials[k] / SampleRate;
            if (ph[k] >= 1) ph[k] -= 1;
            metal += (ph[k] < 0.5 ? 1 : -1);
        }
        const double l = hl2.run(hl1.run(float(nl.next() + 0.05 * metal))) * env;
        const double r = hr2.run(hr1.run(float(nr.next() + 0.05 * metal))) * env;
        if (start + i >= b.frames()) break;
        b.l[start + i] += float(l * velocity * 0.55 * (1 - 0.3 * pan));
        b.r[start + i] += float(r * velocity * 0.55 * (1 + 0.3 * pan));
    }
}

void reverseCrash(Bus& b, double end, double length, float velocity)
{
    const size_t stop = sampleAt(end), len = size_t(length * SampleRate);
    if (len > stop) return;
    Noise nl(stop + 51), nr(stop + 53);
    Biquad hl = Biquad::make(1, 3000, 0.7), hr = Biquad::make(1, 3000, 0.7);
    for (size_t i = 0; i < len; ++i) {
        const double x = double(i) / double(len);   // 0 .. 1 towards the hit
        const double env = std::pow(x, 3.0);
        const size_t at = stop - len + i;
        if (at >= b.frames()) break;
        b.l[at] += float(hl.run(nl.next()) * env * velocity * 0.4);
        b.r[at] += float(hr.run(nr.next()) * env * velocity * 0.4);
    }
}

void impact(Bus& b, double t, float velocity)
{
    const Pan placement(0);
    const size_t start = sampleAt(t), len = size_t(2.2 * SampleRate);
    double phase = 0;
    Noise noise(start + 61);
    Biquad lp = Biquad::make(0, 500, 0.7);
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        phase += (38 + 40 * std::exp(-tau / 0.08)) / SampleRate;
        const double boom = std::sin(TwoPi * phase) * std::exp(-tau / 0.6) * (1 - std::exp(-tau / 0.002));
        const double thud = lp.run(noise.next()) * std::exp(-tau / 0.12);
        add(b, start + i, float((0.8 * boom + 0.5 * thud) * velocity * tailGain(i, len)), placement);
    }
}

void bassNote(Bus& b, double t, double duration, int midi, float velocity)
{
    const Pan placement(0);
    const size_t start = sampleAt(t), len = size_t((duration + 0.04) * SampleRate);
    const double hz = noteHz(midi);
    double phase = 0;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        phase += hz / SampleRate;
        const double attack = std::min(1.0, tau / 0.004);
        const double release = tau < duration ? 1.0 : std::max(0.0, 1 - (tau - duration) / 0.04);
        double v = std::sin(TwoPi * phase);
        v = std::tanh(1.2 * v) / std::tanh(1.2);
        add(b, start + i, float(v * attack * release * velocity), placement);
    }
}

void reeseNote(Bus& b, double t, double duration, int midi, float velocity, float open, float wobble)
{
    const Pan placement(0);
    const size_t start = sampleAt(t), len = size_t((duration + 0.05) * SampleRate);
    const double hz = noteHz(midi);
    double p1 = 0, p2 = 0.37, sub = 0;
    SvfLowpass f;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        // About 0.3 % apart: the two pulses beat a few times a second, the growl of a reese.
        const double i1 = hz * 1.0031 / SampleRate, i2 = hz * 0.9972 / SampleRate;
        p1 += i1;
        if (p1 >= 1) p1 -= 1;
        p2 += i2;
        if (p2 >= 1) p2 -= 1;
        sub += hz / SampleRate;
        const double swing = wobble > 0 ? 0.5 - 0.5 * std::cos(TwoPi * wobble * tau) : 1.0;
        const double cutoff = 90 + (250 + 2400 * double(open)) * (0.35 + 0.65 * swing) * (0.6 + 0.4 * std::exp(-tau / 0.12));
        const double pulses = f.run(float(square(p1, i1) + square(p2, i2)), cutoff, 0.45);
        // A soft attack: a fast one splashes across the low bins, and the sparks would follow the bass.
        const double attack = std::min(1.0, tau / 0.02);
        const double release = tau < duration ? 1.0 : std::max(0.0, 1 - (tau - duration) / 0.05);
        const double v = std::tanh(1.5 * (0.45 * pulses + 0.8 * std::sin(TwoPi * sub))) / std::tanh(1.5);
        add(b, start + i, float(v * attack * release * velocity), placement);
    }
}

void padChord(Bus& b, double t, double duration, const std::vector<int>& midis, float velocity, float brightness)
{
    const double attack = 0.35, releaseTime = 0.9;
    const size_t start = sampleAt(t), len = size_t((duration + releaseTime) * SampleRate);
    constexpr double Detune[3] = {-0.0042, 0.0, 0.0039};   // about +-7 cents: the chorus of a string section
    const double cutoff = 600 + 3400 * double(brightness);
    for (size_t n = 0; n < midis.size(); ++n) {
        const double hz = noteHz(midis[n]);
        double phL[3], phR[3];
        for (int k = 0; k < 3; ++k) {
            phL[k] = hashPhase(start, n * 8 + size_t(k));
            phR[k] = hashPhase(start, n * 8 + size_t(k) + 4);
        }
        SvfLowpass fl, fr;
        for (size_t i = 0; i < len; ++i) {
            const double tau = double(i) / SampleRate;
            double env = std::min(1.0, tau / attack);
            if (tau > duration) env *= std::max(0.0, 1 - (tau - duration) / releaseTime);
            double l = 0, r = 0;
            for (int k = 0; k < 3; ++k) {
                const double incL = hz * (1 + Detune[k]) / SampleRate, incR = hz * (1 - Detune[k] * 0.8) / SampleRate;
                phL[k] += incL;
                if (phL[k] >= 1) phL[k] -= 1;
                phR[k] += incR;
                if (phR[k] >= 1) phR[k] -= 1;
                l += saw(phL[k], incL);
                r += saw(phR[k], incR);
            }
            const double lfo = 1 + 0.15 * std::sin(TwoPi * 0.13 * tau + double(n));
            const float vl = fl.run(float(l), cutoff * lfo, 0.1), vr = fr.run(float(r), cutoff * lfo, 0.1);
            const size_t at = start + i;
            if (at >= b.frames()) break;
            const double g = env * velocity / 3.0 / std::sqrt(double(midis.size()));
            b.l[at] += float(vl * g);
            b.r[at] += float(vr * g);
        }
    }
}

void pluck(Bus& b, double t, int midi, float velocity, float pan)
{
    const Pan placement(pan);
    const size_t start = sampleAt(t), len = size_t(0.6 * SampleRate);
    const double hz = noteHz(midi), inc = hz / SampleRate;
    double phase = hashPhase(start, uint64_t(midi));
    SvfLowpass f;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        phase += inc;
        if (phase >= 1) phase -= 1;
        const double cutoff = 500 + 4500 * std::exp(-tau / 0.07);
        const double env = std::exp(-tau / 0.2) * std::min(1.0, tau / 0.002) * tailGain(i, len);
        add(b, start + i, float(f.run(float(saw(phase, inc)), cutoff, 0.3) * env * velocity), placement);
    }
}

void stab(Bus& b, double t, const std::vector<int>& midis, float velocity)
{
    const size_t start = sampleAt(t), len = size_t(0.55 * SampleRate);
    for (size_t n = 0; n < midis.size(); ++n) {
        const double hz = noteHz(midis[n]);
        double p1 = hashPhase(start, n * 2), p2 = hashPhase(start, n * 2 + 1);
        SvfLowpass f;
        const Pan placement(0.6f * (midis.size() > 1 ? -0.5f + float(n) / float(midis.size() - 1) : 0.0f));
        for (size_t i = 0; i < len; ++i) {
            const double tau = double(i) / SampleRate;
            const double i1 = hz * 1.003 / SampleRate, i2 = hz * 0.997 / SampleRate;
            p1 += i1;
            if (p1 >= 1) p1 -= 1;
            p2 += i2;
            if (p2 >= 1) p2 -= 1;
            const double cutoff = 900 + 5000 * std::exp(-tau / 0.09);
            const double env = std::exp(-tau / 0.16) * std::min(1.0, tau / 0.002) * tailGain(i, len);
            const float v = f.run(float(saw(p1, i1) + saw(p2, i2)), cutoff, 0.25);
            add(b, start + i, float(v * env * velocity * 0.5 / std::sqrt(double(midis.size()))), placement);
        }
    }
}

void leadNote(Bus& b, double t, double duration, int midi, float velocity, double attackTime)
{
    const Pan placement(0);
    const size_t start = sampleAt(t), len = size_t((duration + 0.08) * SampleRate);
    const double hz = noteHz(midi);
    double phase = 0, phase2 = 0.3;
    SvfLowpass f;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        const double vibrato = 1 + 0.006 * std::sin(TwoPi * 5.5 * tau) * std::min(1.0, std::max(0.0, (tau - 0.15) / 0.2));
        const double inc = hz * vibrato / SampleRate, inc2 = hz * 1.004 * vibrato / SampleRate;
        phase += inc;
        if (phase >= 1) phase -= 1;
        phase2 += inc2;
        if (phase2 >= 1) phase2 -= 1;
        const double attack = std::min(1.0, tau / attackTime);
        const double release = tau < duration ? 1.0 : std::max(0.0, 1 - (tau - duration) / 0.08);
        const double cutoff = 1800 + 2200 * std::exp(-tau / 0.15);
        const double raw = 0.6 * square(phase, inc) + 0.5 * saw(phase2, inc2);
        add(b, start + i, float(f.run(float(raw), cutoff, 0.2) * attack * release * velocity * 0.5), placement);
    }
}

void bell(Bus& b, double t, int midi, float velocity, float pan)
{
    const Pan placement(pan);
    const size_t start = sampleAt(t), len = size_t(3.0 * SampleRate);
    const double hz = noteHz(midi);
    double pc = 0, pm = 0;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        pm += hz * 3.5 / SampleRate;   // 3.5: inharmonic partials well above the note, as a struck bar has
        pc += hz / SampleRate;
        const double index = 0.4 + 1.8 * std::exp(-tau / 0.25);
        const double env = std::exp(-tau / 0.9) * std::min(1.0, tau / 0.001) * tailGain(i, len);
        const double v = std::sin(TwoPi * pc + index * std::sin(TwoPi * pm));
        add(b, start + i, float(v * env * velocity * 0.4), placement);
    }
}

void ping(Bus& b, double t, int midi, float velocity, float pan)
{
    const Pan placement(pan);
    const size_t start = sampleAt(t), len = size_t(0.16 * SampleRate);
    const double hz = noteHz(midi);
    double phase = 0;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        phase += hz / SampleRate;
        // A short decay, so a ping lets its band fall back before the next one: each answers once.
        const double env = std::exp(-tau / 0.03) * std::min(1.0, tau / 0.0015) * tailGain(i, len);
        const double v = std::sin(TwoPi * phase) + 0.3 * std::sin(2 * TwoPi * phase) * std::exp(-tau / 0.01);
        add(b, start + i, float(v * env * velocity * 0.5), placement);
    }
}

void drone(Bus& b, double t0, double t1, int midi, float velocity, double fadeIn, double fadeOut)
{
    const size_t s0 = sampleAt(t0), s1 = std::min(sampleAt(t1), b.frames());
    const double hz = noteHz(midi);
    for (size_t i = s0; i < s1; ++i) {
        const double tau = double(i - s0) / SampleRate, left = double(s1 - i) / SampleRate;
        const double env = std::min(1.0, tau / fadeIn) * std::min(1.0, left / fadeOut);
        // Phase from the absolute sample: a whole number of cycles fits every 512 samples at F2.
        const double v = std::sin(TwoPi * hz * double(i) / SampleRate);
        b.l[i] += float(v * env * velocity);
        b.r[i] += float(v * env * velocity);
    }
}

void riser(Bus& b, double t0, double t1, float velocity)
{
    const size_t s0 = sampleAt(t0), s1 = std::min(sampleAt(t1), b.frames());
    Noise nl(s0 + 71), nr(s0 + 73);
    Biquad fl, fr;
    for (size_t i = s0; i < s1; ++i) {
        const double x = double(i - s0) / double(s1 - s0);
        if ((i - s0) % 64 == 0) {
            const double hz = 400 * std::pow(20.0, x);
            const Biquad f = Biquad::make(2, hz, 1.2);
            fl.b0 = fr.b0 = f.b0, fl.b1 = fr.b1 = f.b1, fl.b2 = fr.b2 = f.b2, fl.a1 = fr.a1 = f.a1, fl.a2 = fr.a2 = f.a2;
        }
        const double env = x * x * velocity;
        b.l[i] += float(fl.run(nl.next()) * env);
        b.r[i] += float(fr.run(nr.next()) * env);
    }
}

void zap(Bus& b, double t, float velocity, float pan)
{
    const Pan placement(pan);
    const size_t start = sampleAt(t), len = size_t(0.25 * SampleRate);
    double phase = 0;
    Noise noise(start + 81);
    Biquad hp = Biquad::make(1, 2500, 0.7);
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        phase += (180 + 3200 * std::exp(-tau / 0.035)) / SampleRate;
        const double env = std::exp(-tau / 0.07) * std::min(1.0, tau / 0.001) * tailGain(i, len);
        const double v = 0.8 * std::sin(TwoPi * phase) + 0.5 * hp.run(noise.next()) * std::exp(-tau / 0.02);
        add(b, start + i, float(v * env * velocity), placement);
    }
}

void tick(Bus& b, double t, float velocity)
{
    const Pan placement(0);
    const size_t start = sampleAt(t), len = size_t(0.03 * SampleRate);
    Noise noise(start + 91);
    Biquad hp = Biquad::make(1, 1800, 0.7);
    double phase = 0;
    for (size_t i = 0; i < len; ++i) {
        const double tau = double(i) / SampleRate;
        phase += 1900.0 / SampleRate;
        // No attack ramp: the click is at its loudest on the very sample it starts.
        const double env = std::exp(-tau / 0.004) * tailGain(i, len);
        const double v = 0.6 * hp.run(noise.next()) + 0.5 * std::sin(TwoPi * phase);
        add(b, start + i, float(v * env * velocity), placement);
    }
}

void reverb(const Bus& send, Bus& out, float roomSize, float damping, float gain)
{
    // Schroeder-Moorer network: parallel damped combs, then series all-passes, per channel with
    // slightly different lengths so the tail is wide.
    constexpr int Combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    constexpr int Allpasses[4] = {556, 441, 341, 225};
    constexpr int Spread = 23;
    const size_t n = std::min(send.frames(), out.frames());
    for (int ch = 0; ch < 2; ++ch) {
        std::vector<std::vector<float>> comb(8), ap(4);
        std::vector<size_t> ci(8, 0), ai(4, 0);
        std::vector<float> store(8, 0.0f);
        for (int k = 0; k < 8; ++k) comb[size_t(k)].assign(size_t(Combs[k] + ch * Spread), 0.0f);
        for (int k = 0; k < 4; ++k) ap[size_t(k)].assign(size_t(Allpasses[k] + ch * Spread), 0.0f);
        std::vector<float>& dst = ch == 0 ? out.l : out.r;
        for (size_t i = 0; i < n; ++i) {
            const float in = (send.l[i] + send.r[i]) * 0.015f;
            float acc = 0;
            for (size_t k = 0; k < 8; ++k) {
                float& cell = comb[k][ci[k]];
                const float y = cell;
                store[k] = y * (1 - damping) + store[k] * damping;
                cell = in + store[k] * roomSize;
                if (++ci[k] == comb[k].size()) ci[k] = 0;
                acc += y;
            }
            for (size_t k = 0; k < 4; ++k) {
                float& cell = ap[k][ai[k]];
                const float buffered = cell;
                cell = acc + buffered * 0.5f;
                acc = buffered - acc;
                if (++ai[k] == ap[k].size()) ai[k] = 0;
            }
            dst[i] += acc * gain;
        }
    }
}

void pingPongDelay(const Bus& send, Bus& out, double seconds, float feedback, float gain)
{
    const size_t d = size_t(std::llround(seconds * SampleRate)), n = std::min(send.frames(), out.frames());
    std::vector<float> bl(d, 0.0f), br(d, 0.0f);
    float lpL = 0, lpR = 0;
    size_t at = 0;
    for (size_t i = 0; i < n; ++i) {
        const float echoL = bl[at], echoR = br[at];
        // The left echo feeds the right line and back: the repeats bounce across the stereo field.
        lpL += 0.35f * (echoR - lpL);
        lpR += 0.35f * (echoL - lpR);
        bl[at] = (send.l[i] + send.r[i]) * 0.5f + lpL * feedback;
        br[at] = lpR * feedback;
        if (++at == d) at = 0;
        out.l[i] += echoL * gain;
        out.r[i] += echoR * gain;
    }
}

void duck(Bus& b, const std::vector<double>& hits, float depth, double recovery)
{
    std::vector<double> sorted(hits);
    std::sort(sorted.begin(), sorted.end());
    size_t next = 0;
    double last = -1e9;
    for (size_t i = 0; i < b.frames(); ++i) {
        const double t = double(i) / SampleRate;
        while (next < sorted.size() && sorted[next] <= t) last = sorted[next++];
        const double since = t - last;
        const double g = 1 - depth * std::exp(-since / recovery) * std::min(1.0, since / 0.003);
        b.l[i] *= float(g);
        b.r[i] *= float(g);
    }
}

void limit(Bus& b, float ceiling, double releaseSeconds)
{
    const size_t n = b.frames();
    constexpr size_t Look = 96;   // about 2 ms: the gain is down before the peak arrives
    std::vector<float> need(n);
    for (size_t i = 0; i < n; ++i) {
        const float peak = std::max(std::fabs(b.l[i]), std::fabs(b.r[i]));
        need[i] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // Minimum over the next Look samples, then a moving average over the previous Look: every value
    // averaged at a peak is at most the gain that peak needs, so the peak ends up under the ceiling.
    std::vector<float> ahead(n);
    std::vector<size_t> window;   // indices of need[] in increasing order of value: a sliding minimum
    size_t head = 0;
    for (size_t j = 0; j < n + Look; ++j) {
        if (j < n) {
            while (window.size() > head && need[window.back()] >= need[j]) window.pop_back();
            window.push_back(j);
        }
        if (j + 1 >= Look) {
            const size_t i = j + 1 - Look;
            while (window[head] < i) ++head;
            ahead[i] = need[window[head]];
            if (i + 1 == n) break;
        }
    }
    const float release = float(1.0 / (releaseSeconds * SampleRate));
    float held = 1.0f;
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        held = std::min(ahead[i], held + (1.0f - held) * release);
        ahead[i] = held;
    }
    for (size_t i = 0; i < n; ++i) {
        sum += ahead[i];
        if (i >= Look) sum -= ahead[i - Look];
        const float g = float(sum / double(std::min(i + 1, Look)));
        const float gain = std::min(g, ahead[i]);
        b.l[i] *= gain;
        b.r[i] *= gain;
    }
}

void fade(Bus& b, double t0, double t1, bool fadeIn)
{
    const size_t s0 = sampleAt(t0), s1 = sampleAt(t1);
    for (size_t i = 0; i < b.frames(); ++i) {
        double g;
        if (i <= s0) g = fadeIn ? 0.0 : 1.0;
        else if (i >= s1) g = fadeIn ? 1.0 : 0.0;
        else g = fadeIn ? double(i - s0) / double(s1 - s0) : double(s1 - i) / double(s1 - s0);
        b.l[i] *= float(g);
        b.r[i] *= float(g);
    }
}

void lowpassSweep(Bus& b, double t0, double t1, double hz0, double hz1)
{
    const size_t s0 = sampleAt(t0), s1 = std::min(sampleAt(t1), b.frames());
    if (s1 <= s0) return;
    SvfLowpass fl, fr;
    for (size_t i = s0; i < s1; ++i) {
        const double x = double(i - s0) / double(s1 - s0);
        const double hz = hz0 * std::pow(hz1 / hz0, x);
        b.l[i] = fl.run(b.l[i], hz, 0.1);
        b.r[i] = fr.run(b.r[i], hz, 0.1);
    }
}
