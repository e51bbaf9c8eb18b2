// The show's music, "bass_300808.mp3": an original drum-and-bass piece in F minor at 187 BPM whose
// bar lines fall on the run of cues 50..60, whose sections turn where the cue list changes pace, and
// which accents every cue time of the show.
#pragma once
#include <vector>

#include "synth.h"

// --- Time grid (seconds)
constexpr double BarSeconds = 1.2832;         // four beats: 187 BPM
constexpr double TrackSeconds = 186.0;        // whole file, ending in silence
constexpr double SilenceFrom = 183.5;         // nothing but zeros from here on
double barTime(double bar);                   // bar 0 starts just before 0.7 s; bar 79 is cue 53

// --- Form
enum class SectionKind { Intro, Build, HalfTime, Groove, Break, Arp, Bridge, Peak, Breakdown, Finale, Outro };
// Which drum layers play: none, hats alone, a snare roll that builds, half time, the two full patterns,
// and a broken steppers beat.
enum class Beat { None, Hats, Roll, HalfTime, TwoStep, Rolling, Steppers };
// The bass sound: none, a sub pulse on each bar, the sine groove, the reese, the reese with a wobble.
enum class BassLine { None, Pulse, Sub, Reese, Wobble };

struct Section {
    const char* name;
    double startBar, endBar;     // some sections start between bar lines, on the cue that opens them
    SectionKind kind;
    Beat beat;
    BassLine bass;
    const char* lead;            // one letter per eight-bar phrase: T theme, A answer, C call, - none
    bool arp;
    int sparks;                  // the F4 ping motif: 0 none, 1 once a bar, 2 a syncopated riff
    float openFrom, openTo;      // the bass and pad filter across the section, 0 dark .. 1 open
    float levelFrom, levelTo;    // the whole mix's level across the section, dB: its swell or its fall
};
const std::vector<Section>& trackSections();  // in time order, covering bars 0..142
bool calmSection(SectionKind kind);           // no beat: the spectrum effects rest

// --- Rendering
Bus renderTrack();                            // TrackSeconds of stereo at SampleRate, peaks below -4.4 dBFS
