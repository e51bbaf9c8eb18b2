// The cue list: music times at which a typography composition is launched.
#pragma once
#include <vector>

extern std::vector<float> CueList;  // seconds of music position, non-decreasing, consumed from the front

// --- Start-up
void buildCueList();  // fills CueList

// --- Per frame
void dispatchCues(float time, float lifetime);  // time: music seconds; lifetime: seconds for each sprite
