// The music: one track played once, its play position and length (the show's music clock) and the
// live spectrum the spawner reacts to. Every failing step stops the process with an "FMOD error!" line.
#pragma once
#include <cstdint>

constexpr int SpectrumSize = 256;
// Magnitudes of channel 0 at the play position, entry k near k * 86.13 Hz, 1.0 for a full-scale sine
// on a bin; all zero before the first fetch, in silence and once the track has ended.
extern float spectrum[SpectrumSize];

// --- Playback (main thread only)
void initMusic(const char* fileName);  // opens the track and starts it; music time 0 is now
void fetchSpectrum();                  // refreshes spectrum from what is playing; never waits for audio
uint32_t musicPosition();              // milliseconds heard, never decreasing, == musicLength() once ended
uint32_t musicLength();                // milliseconds, the whole track (exact, from a frame scan), fixed
void closeMusic();                     // stops playback and releases the device

// --- Errors (codes and texts: audio/music_errors.h)
void checkFmod(int result);            // result != 0: prints "FMOD error! (%d) %s", stops audio, exits -1

// --- Diagnostics (benchmarks and tests; the show never calls them)
uint64_t musicUnderrunFrames();        // frames of silence played because decoding fell behind; 0 when healthy
// Called on the audio thread at the start of every callback, before any sample is copied; nullptr for
// none. Lets a test hold the callback up the way a busy machine does.
using AudioCallbackHook = void (*)();
void setAudioCallbackHook(AudioCallbackHook hook);
