// The instruments and effects of the track: oscillators, filters, drums, bass, pads, plucks, bells,
// a reverb and a limiter, all rendering into stereo float buses at 44.1 kHz. Pitches are tuned so that
// F lands exactly on the show's analysis bins (F2 = 44100 / 512 Hz): the spectrum rules then hear
// clean notes instead of smeared ones.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int SampleRate = 44100;
constexpr double BinHz = 44100.0 / 512.0;   // one analysis bin; F2 sounds exactly here

// Stereo buffer, samples in [-1, 1] at SampleRate.
struct Bus {
    std::vector<float> l, r;
    explicit Bus(size_t frames = 0) : l(frames, 0.0f), r(frames, 0.0f) {}
    size_t frames() const { return l.size(); }
    void mixInto(Bus& dst, float gain) const;
};

// --- Pitch
double noteHz(int midi);   // equal temperament, F2 (MIDI 41) = BinHz

// --- Drums (time in seconds, velocity 0..1, pan -1 left .. 1 right)
void kick(Bus& b, double t, float velocity);
void snare(Bus& b, double t, float velocity);                 // body on analysis bin 2 (F3)
void hat(Bus& b, double t, float velocity, bool open, float pan);
void crash(Bus& b, double t, float velocity, float pan);
void reverseCrash(Bus& b, double end, double length, float velocity);  // swells up to `end`
void impact(Bus& b, double t, float velocity);                 // low boom under a big hit

// --- Pitched voices (durations in seconds)
void bassNote(Bus& b, double t, double duration, int midi, float velocity);
// A pair of detuned pulse waves and a sub under a resonant low-pass whose cutoff falls from `open`
// (0 dark .. 1 bright) and, with wobble > 0, swings that many times per second. Its waveform is
// odd-symmetric, so on F2 its partials fall on analysis bins 1, 3, 5, 7 ... and never on the watched ones.
void reeseNote(Bus& b, double t, double duration, int midi, float velocity, float open, float wobble);
void padChord(Bus& b, double t, double duration, const std::vector<int>& midis, float velocity,
              float brightness);                               // brightness 0..1 opens the filter
void pluck(Bus& b, double t, int midi, float velocity, float pan);
void stab(Bus& b, double t, const std::vector<int>& midis, float velocity);
// attack: seconds to full level; a slow one keeps the note's onset out of the low bins.
void leadNote(Bus& b, double t, double duration, int midi, float velocity, double attack = 0.006);
void bell(Bus& b, double t, int midi, float velocity, float pan);
void ping(Bus& b, double t, int midi, float velocity, float pan);   // a glassy blip, gone in about 0.1 s
void drone(Bus& b, double t0, double t1, int midi, float velocity, double fadeIn, double fadeOut);
void riser(Bus& b, double t0, double t1, float velocity);     // filtered noise sweeping up
void zap(Bus& b, double t, float velocity, float pan);         // a fast falling electric chirp
void tick(Bus& b, double t, float velocity);                   // a rim click: full level on its first sample

// --- Effects
void reverb(const Bus& send, Bus& out, float roomSize, float damping, float gain);
void pingPongDelay(const Bus& send, Bus& out, double seconds, float feedback, float gain);
// Multiplies by 1 - depth at each time in `hits`, recovering over `recovery` seconds (kick ducking).
void duck(Bus& b, const std::vector<double>& hits, float depth, double recovery);
// Lookahead peak limiter: no sample of the result exceeds `ceiling`.
void limit(Bus& b, float ceiling, double releaseSeconds);
void fade(Bus& b, double t0, double t1, bool fadeIn);          // linear gain ramp; silence after a fade-out
// A low-pass over [t0, t1) whose cutoff moves exponentially from hz0 to hz1: a section's filter sweep.
void lowpassSweep(Bus& b, double t0, double t1, double hz0, double hz1);
