// The instruments are drawn, not sampled: a kick whose pitch falls from 125 to 45 Hz with a click on
// top, a snare of a 185 Hz body and a noise burst, hats of differenced noise (mostly above 5 kHz), a
// sawtooth bass note every half bar and a quiet three-note chord throughout.
#include "support/drum_pattern.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {
constexpr int Rate = 44100;

struct Noise {
    uint32_t state;
    float next()   // -1..1
    {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state)) / 2147483648.0f;
    }
};

std::vector<float> kick(Noise& noise)
{
    std::vector<float> v(Rate / 3);
    double phase = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) / Rate;
        phase += 2 * M_PI * (45 + 80 * std::exp(-t / 0.03)) / Rate;
        v[i] = float(std::sin(phase) * std::exp(-t / 0.12)) + (i < 60 ? 0.3f * noise.next() : 0.0f);
    }
    return v;
}

std::vector<float> snare(Noise& noise)
{
    std::vector<float> v(Rate / 5);
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) / Rate;
        v[i] = float(0.5 * std::sin(2 * M_PI * 185 * t) * std::exp(-t / 0.05) + 0.6 * noise.next() * std::exp(-t / 0.06));
    }
    return v;
}

std::vector<float> hat(Noise& noise)
{
    std::vector<float> v(Rate / 20);
    float previous = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const float white = noise.next();
        v[i] = float((white - previous) * 0.5 * std::exp(-double(i) / Rate / 0.012));
        previous = white;
    }
    return v;
}
}  // namespace

std::vector<float> playDrumPattern(const DrumPattern& pattern, double bpm, double seconds, uint32_t seed, double endBpm)
{
    const size_t frames = size_t(seconds * Rate);
    std::vector<float> out(frames * 2, 0.0f);
    Noise noise{seed};
    const std::vector<float> kickSound = kick(noise), snareSound = snare(noise), hatSound = hat(noise);
    auto mix = [&](size_t at, const std::vector<float>& sound, float gain) {
        for (size_t i = 0; i < sound.size() && at + i < frames; ++i) {
            out[2 * (at + i)] += gain * sound[i];
            out[2 * (at + i) + 1] += gain * sound[i];
        }
    };
    if (endBpm <= 0) endBpm = bpm;
    // The tempo changes evenly in time: a step's length follows the tempo where it starts.
    double t = 0;
    std::vector<double> halfBars;
    for (long step = 0; t < seconds; ++step) {
        const int s = int(step % 16);
        const double hitAt = t + 0.004 * noise.next();
        const size_t at = size_t(std::max(0.0, hitAt) * Rate);
        const float velocity = 0.8f + 0.2f * noise.next();
        if (pattern.kick[s] == 'K') mix(at, kickSound, 0.9f * velocity);
        if (pattern.snare[s] == 'S') mix(at, snareSound, 0.7f * velocity);
        if (pattern.snare[s] == 'g') mix(at, snareSound, 0.2f * velocity);
        if (pattern.hats[s] == 'H') mix(at, hatSound, 0.5f * velocity);
        if (pattern.hats[s] == 'h') mix(at, hatSound, 0.25f * velocity);
        if (s % 8 == 0) halfBars.push_back(t);
        const double nowBpm = bpm + (endBpm - bpm) * t / seconds;
        t += 60.0 / nowBpm / 4;
    }
    const double roots[] = {55, 65.41, 49, 73.42};
    size_t half = 0;
    for (size_t f = 0; f < frames; ++f) {
        const double time = double(f) / Rate;
        while (half + 1 < halfBars.size() && halfBars[half + 1] <= time) ++half;
        const double since = time - (halfBars.empty() ? 0.0 : halfBars[half]);
        const double hz = roots[half % 4];
        const double saw = 2 * std::fmod(since * hz, 1.0) - 1;
        const double pad = 0.05 * (std::sin(2 * M_PI * 220 * time) + std::sin(2 * M_PI * 277.2 * time) +
                                   std::sin(2 * M_PI * 329.6 * time));
        const float v = float(0.25 * saw * std::exp(-since / 0.4) + pad);
        out[2 * f] += v;
        out[2 * f + 1] += v;
    }
    return out;
}
