// The cue list: music times at which a typography composition is launched. Built at start-up,
// consumed from the front as the music passes each time; after the last cue nothing more fires.
#pragma once
#include <vector>

extern std::vector<float>& CueList;  // seconds of music position, non-decreasing; the current show's

// --- Start-up
void buildCueList();                               // the 105 CueTimes, in order; no random draw
void buildCueList(const std::vector<float>& times);  // a track's own (seconds, non-decreasing); no draw

// --- Per frame
void dispatchCues(float time, float lifetime);  // time: music seconds; lifetime: seconds for each sprite

// --- Bookkeeping
int firedCueCount();     // cues fired since the list was built
