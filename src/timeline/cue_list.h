// The cue list: music times at which a typography composition is launched. Built once at start-up,
// consumed from the front as the music passes each time; after the last cue nothing more fires.
#pragma once
#include <vector>

extern std::vector<float> CueList;  // seconds of music position, non-decreasing

// --- Start-up
void buildCueList();                               // appends the 105 CueTimes, in order; no random draw
void buildCueList(const std::vector<float>& times);  // appends a track's own (seconds, non-decreasing); no draw

// --- Per frame
void dispatchCues(float time, float lifetime);  // time: music seconds; lifetime: seconds for each sprite

// --- Bookkeeping
int firedCueCount();     // cues fired since the last reset
void resetCueList();     // empties CueList and the fired count (tests and tools that restart the show)
