// A listener's own track read once before it plays: every sample decoded (kept, or dropped when the
// player will stream the file again), the onset curve built on the way, a silent track refused, and
// the cues found. The desktop programs' one way in; the browser decodes in the page and builds the
// same curve from the page's samples (web/web_music.cpp).
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "audio/decoded_track.h"
#include "audio/tempo.h"

class OnsetCurve;

constexpr size_t ListenerStepFrames = 65536;   // decoded per step, between progress reports (1.5 s of music)

// What reading a listener's track finds beside its cues.
struct TrackFindings {
    TempoEstimate tempo;
    uint32_t lengthMs = 0;   // what musicLength() reports for it
};

// --- Reading
// MusicOk with cues set (seconds, increasing; maybe none), or the MusicError that names why the file
// can't play: the decoder's, TrackSilent, or the decoder's failure partway (TrackEndsEarly,
// DecodeFailed). keep: filled with both channels when given. progress: the fraction decoded, 0..1,
// after each step; may be empty. findings: filled when given.
int readListenerTrack(const char* fileName, DecodedTrack* keep, std::vector<float>& cues,
                      const std::function<void(double fraction)>& progress, TrackFindings* findings = nullptr);

// --- Finishing a curve (shared with the browser)
int cuesOfCurve(const OnsetCurve& curve, std::vector<float>& cues);   // MusicOk, or TrackSilent (cues empty)

// --- The one line that names the file and why it can't play
// "PROGRAM: can't play 'FILE': why" (the error's sentence); without PROGRAM when it is null (the page).
std::string cantPlayLine(const char* program, const std::string& fileName, int error);
