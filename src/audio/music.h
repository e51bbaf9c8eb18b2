// The music: one track played once, its play position and length (the show's music clock) and the
// live spectrum the spawner reacts to. Every failing step stops the process with an "FMOD error!" line.
#pragma once
#include <cstdint>

#include "audio/track_decoder.h"

constexpr int SpectrumSize = 256;

// Magnitudes of channel 0 at the play position, entry k near k * 86.13 Hz, 1.0 for a full-scale sine
// on a bin; all zero before the first fetch, in silence and once the track has ended.
extern float (&spectrum)[SpectrumSize];   // the current show's (timeline/show_state.h)

// --- Playback (main thread only)
// Opens the track and starts it; the position leaves 0 once it is heard.
void initMusic(const char* fileName, TrackFormat format = TrackFormat::ShowMp3);
void fetchSpectrum();                  // refreshes spectrum from what is playing; never waits for audio
uint32_t musicPosition();              // milliseconds heard, never decreasing, == musicLength() once ended
uint32_t musicLength();                // milliseconds, the whole track (exact, from a frame scan), fixed
void closeMusic();                     // stops playback and releases the device

// --- Errors (codes and texts: audio/music_errors.h)
void checkFmod(int result);            // result != 0: haltPlayback, prints "FMOD error! (%d) %s", exits -1
void haltPlayback();                   // the sound off at once, before a failure ends the process; idempotent
