// Cue list. Stand-in until the compositions land: the list stays empty and nothing fires.
#include "timeline/cue_list.h"

std::vector<float> CueList;

void buildCueList() {}

void dispatchCues(float, float) {}
