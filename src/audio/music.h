// The music: one track played once, its play position and length (the show's music clock) and the
// live spectrum the spawner reacts to. Every failing step stops the process with an "FMOD error!" line.
#pragma once
#include <cstdint>

constexpr int SpectrumSize = 256;

// The device buffer, and what lets a late callback go unheard. SDL's PulseAudio driver asks the server
// for one buffer of latency and refills only what the server asks for, so the audio queued ahead when
// a callback runs is part of one buffer: with 1024 frames a callback 6 ms late was already a hole, and with 4096 one
// 60 ms late. With 8192 frames (186 ms) about half a buffer stays queued at the server when a callback
// starts, and callbacks held up 40-60 ms left no hole on a null sink. The position is corrected by what
// is really queued (music.cpp, queuedFrames), so the picture keeps to the sound; the music starts later.
// A power of two: SDL's dummy driver crashes on others.
constexpr uint16_t MusicDeviceBufferFrames = 8192;

// Magnitudes of channel 0 at the play position, entry k near k * 86.13 Hz, 1.0 for a full-scale sine
// on a bin; all zero before the first fetch, in silence and once the track has ended.
extern float spectrum[SpectrumSize];

// --- Playback (main thread only)
void initMusic(const char* fileName);  // opens the track and starts it; the position leaves 0 once it is heard
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
