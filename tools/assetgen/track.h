// The show's music, "bass_300808.mp3": an original drum-and-bass piece in F minor at 187 BPM whose
// bar lines fall on the run of cues 50..60 and which accents every cue time of the show.
#pragma once
#include <vector>

#include "synth.h"

// --- Time grid (seconds)
constexpr double BarSeconds = 1.2832;         // four beats: 187 BPM
constexpr double TrackSeconds = 186.0;        // whole file, ending in silence
constexpr double SilenceFrom = 183.5;         // nothing but zeros from here on
double barTime(double bar);                   // bar 0 starts just before 0.7 s; bar 79 is cue 53

// --- Form
enum class SectionKind { Intro, Build, Groove, Lead, Arp, Fill, Peak, Breakdown, Finale, Outro };
struct Section {
    const char* name;
    double startBar, endBar;
    SectionKind kind;
};
const std::vector<Section>& trackSections();  // in time order, covering bars 0..142

// --- Rendering
Bus renderTrack();                            // TrackSeconds of stereo at SampleRate, peaks below -4.4 dBFS
