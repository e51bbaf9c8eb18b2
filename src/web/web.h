// The browser platform beyond the seams it shares with the desktop (video.h, music.h, fatal.h): the
// track is decoded whole before the show starts, in slices short enough to keep the page drawing its
// progress bar, and the same decoded samples feed both Web Audio and the spectrum. No threads.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/tempo.h"
#include "utils/resolution.h"

// --- The picture's pixels (before initVideo): the setting the page was opened with
void setResolutionSetting(ResolutionSetting setting);   // the page sizes its canvas by the rule's answer

// --- Loading the track (before initMusic)
int openTrack(const char* fileName, bool audible);  // MusicOk or a MusicError; audible: also fill Web Audio's buffer
double decodeTrackSlice(double budgetMs);           // decodes for about budgetMs; fraction done, 0..1 (1: all)
size_t decodedTrackBytes();                         // bytes the decoded track keeps in the wasm heap
// The page's own decoded track (Module.listenerTrack, an AudioBuffer at 44.1 kHz) in place of a file,
// read in by decodeTrackSlice as a file would be: MusicOk, or TrackHoldsNoSound or TrackTooLong.
int openPageTrack(bool audible);
int pageTrackCues(std::vector<float>& cues);   // once read in: MusicOk with its cues, or TrackSilent
TempoEstimate pageTrackTempo();                // once read in: from the curve its cues come from

// --- The decoded track as showcap sees it (the stepped show)
uint32_t decodedLengthMs();                                // what musicLength() reports
void decodedSpectrumAt(uint32_t positionMs, float* out);   // AnalysisBins magnitudes; zeros at or past the end

// --- The audio clock (live show), seconds as the browser reports them
struct AudioClockReading {
    double contextTime;     // AudioContext.currentTime
    double baseLatency;     // AudioContext.baseLatency (0 where the browser has none)
    double outputLatency;   // AudioContext.outputLatency (0 where the browser has none)
    double heardSeconds;    // the track position heard now, after the latency correction
};
AudioClockReading readAudioClock();
