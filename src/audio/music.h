// The music: one track played once, its play position and length (the show's music clock) and the
// live spectrum the spawner reacts to. Every failing step stops the process with an "FMOD error!" line.
#pragma once
#include <cstdint>

constexpr int SpectrumSize = 256;
extern float spectrum[SpectrumSize];  // magnitudes, entry 0 lowest; all zero in silence

// --- Playback (main thread only)
void initMusic(const char* fileName);  // opens the track and starts it; music time 0 is now
void fetchSpectrum();                  // refreshes spectrum from what is playing
uint32_t musicPosition();              // milliseconds played, never decreasing, >= musicLength() at the end
uint32_t musicLength();                // milliseconds, the whole track, fixed once opened
void closeMusic();                     // stops playback and releases the device

// --- Errors
void checkFmod(int result);            // result != 0: prints "FMOD error! (%d) %s" and exits -1
