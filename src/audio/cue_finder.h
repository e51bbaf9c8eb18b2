// Cues found in a listener's track: an onset curve (spectral flux of the two channels mixed, in the
// middle of the spectrum, with the sound's energy beside it) built as the track is decoded, then a cue
// list picked from its onsets that reads like the show's own: cues on the strongest accents, as many
// as the built-in list has for its length, so denser where the music is busy and loud, sparser where
// it is quiet. Pure
// computation in double precision by its own FFT, rounded to float where it is kept, so the desktop
// and the browser (wasm) find the same cues in the same samples.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// --- The onset curve's settings (44.1 kHz samples)
constexpr int OnsetFrameSize = 512;        // samples per Hann frame (11.6 ms)
constexpr int OnsetHopSize = 64;           // samples between frames (1.45 ms)
constexpr double OnsetLogScale = 100;      // magnitude m (1 for a full-scale sine) counts as log(1 + 100 m)
// The accents' band, 517 Hz to 2.07 kHz (bins 86.13 Hz apart): stabs, chords, voices and the snare's
// crack, away from the kick and the bass below, which mark every beat, and the hats above. On the
// show's own track it ranks its cues' accents highest: 64 of its 105 cues are among its 105 strongest
// onsets there, against 25 for the whole spectrum (bench/README.md, "Cues found in a track").
constexpr int OnsetLowBin = 6;
constexpr int OnsetHighBin = 24;           // one past the last

// --- The tempo's curves (audio/tempo.h reads them): every TempoHopFrames-th frame (256 samples, 5.8 ms),
// the rise of the same log magnitudes over the frame that many hops before, summed in five bands
// (bins, one past the last): the kick, the low middle, the accents' band, the snare's crack and the
// hats. Kept apart, so that each can be weighed by its own level and the snare's period read alone.
constexpr int TempoHopFrames = 4;
constexpr int TempoBandCount = 5;
struct BinRange {
    int first, last;   // bins [first, last)
};
constexpr BinRange TempoBands[] = {{1, 4}, {4, 6}, {6, 25}, {25, 47}, {47, 186}};
static_assert(sizeof(TempoBands) / sizeof(TempoBands[0]) == TempoBandCount, "one bin range per tempo band");
constexpr int TempoSnareBand = 3;          // 2.15 to 3.96 kHz

// --- Picking (seconds unless said)
constexpr double CuePeakSpan = 0.03;       // an onset is the flux's largest value within +-30 ms ...
constexpr double CueMeanSpan = 0.1;        // ... its prominence is how far it rises over the mean within +-100 ms
constexpr double CueLevelSpan = 1.5;       // the sound's level around an onset: its energy within +-1.5 s
constexpr double CueLoudShare = 0.9;       // the track's loud level: the level 90 % of its moments stay under
constexpr double CuesPerSecond = 105.0 / 186.0;   // the built-in list's density: 105 cues in its 186 s track
constexpr double CueCrowdSpan = 5.0;       // within +-5 s of a cue ...
constexpr int CueCrowdMax = 8;             // ... fewer than this many others, so a loud, busy passage cannot take
                                           // them all (the built-in list has up to 11 others; 8 found the most of them)
constexpr double CueMinGap = 0.1;          // no two cues closer (the built-in list's closest distinct pair: 0.107 s)
constexpr float SilentPeak = 0.001f;       // a track whose samples all stay under -60 dBFS is silent

// An accent candidate: where, how far its flux rises over its surroundings, how loud it is there.
struct Onset {
    double time = 0;         // seconds
    float prominence = 0;    // flux units, > 0
    float level = 0;         // amplitude around it against the track's loud level, 0..1
    float strength() const { return prominence * level; }
};

class OnsetCurve {
public:
    OnsetCurve();

    // --- Building (in track order, any slicing: the same samples give the same curve)
    void add(const float* stereo, size_t frames);   // interleaved stereo at 44.1 kHz

    // --- Reading (complete once every sample is added)
    const std::vector<float>& flux() const { return flux_; }       // per hop: the rise into frame j (0 for j = 0)
    const std::vector<float>& energy() const { return energy_; }   // per hop: frame j's mean square of the mix
    const std::vector<float>& tempoFlux(int band) const { return tempoFlux_[band]; }   // per tempo frame
    float peak() const { return peak_; }                           // largest |sample| of either channel
    uint64_t frames() const { return frames_; }

    // --- Streaming (a live reader takes the values as they come and keeps its own window)
    size_t hops() const { return hops_; }   // flux values made so far, forgotten ones included
    void forgetValues();                     // drops the flux, energy and tempo values kept; hops() counts on
    static double timeOf(size_t hop);   // seconds: the moment flux value j stands for (a click reads at its sample)
    static double tempoFramesPerSecond() { return 44100.0 / (OnsetHopSize * TempoHopFrames); }

private:
    void analyseFrame();

    std::vector<double> window_, cosTable_, sinTable_;
    std::vector<double> frame_;          // the newest OnsetFrameSize mixed samples, oldest first
    std::vector<double> previous_;       // log magnitudes of the frame before
    std::vector<double> tempoPrevious_;  // log magnitudes of the last tempo frame
    std::vector<float> flux_, energy_;
    size_t hops_ = 0;
    std::vector<float> tempoFlux_[TempoBandCount];
    float peak_ = 0;
    uint64_t frames_ = 0;
};

// --- Finding (pure, on a complete curve)
std::vector<Onset> findOnsets(const OnsetCurve& curve);                 // in time order
// Cue times (seconds, increasing): the strongest onsets, round(length x CuesPerSecond) of them at most,
// none closer than CueMinGap, none where CueCrowdMax are within CueCrowdSpan already.
std::vector<float> pickCues(const std::vector<Onset>& onsets, double trackSeconds);
std::vector<float> findCues(const OnsetCurve& curve);                   // findOnsets then pickCues
