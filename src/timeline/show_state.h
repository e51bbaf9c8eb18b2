// Everything one run of the show holds, in one record: start-up fills it, stopping the show empties
// it, and a show started again in the same process begins from exactly what the first began from.
// The program-wide names the modules draw with (ActiveFragments, CueList, ...) refer into it.
#pragma once
#include <vector>

#include "audio/music.h"
#include "fragments/fragment.h"
#include "timeline/active_fragments.h"
#include "timeline/spawner.h"
#include "utils/texture_library.h"

struct ShowState {
    FragmentList activeFragments;         // ActiveFragments: every live fragment, in drawing order
    std::vector<float> cueList;           // CueList: the cues still to fire (music seconds)
    int firedCues = 0;                    // cues fired since the list was built
    SpawnGates gates;                     // Gates: when the grid and stroke rules open (music seconds)
    SpawnTimes lastSpawn;                 // LastSpawn: each rule's latest spawn (demoTime seconds)
    SpawnListeners listeners;             // Listeners: what each rule's band has heard (a listener's track)
    std::vector<Point2> electroPoints;    // ElectroPoints: the flashes' anchors (pixels)
    ShowTextures textures;                // TextureLibrary, ElectroTextures, BlendTextures, EndTexture
    float spectrum[SpectrumSize] = {};    // spectrum: the music's magnitudes this frame
    bool started = false;                 // start-up has filled it
};

extern ShowState CurrentShow;

// --- Emptying
void clearShowState();   // every member back to its fresh value; release the textures first (releaseShowTextures)
