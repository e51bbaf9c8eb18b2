// The per-frame scene step: clear, pixel projection, sweep the live fragments, then spawn from the
// spectrum. Spawned fragments are first drawn in the next frame.
#pragma once

// --- Per frame
void renderScene(float time);  // time: music position in seconds, the value dispatchCues got
