// The per-frame scene step: clear, pixel projection, sweep the live fragments, spawn from the spectrum.
#pragma once

// --- Per frame
void renderScene(float time);  // time: music position in seconds
