// The desktop's music player (audio/music_player.h): a StreamPlayer whose decoder thread keeps the
// ring ahead, played through one AudioOutput chosen when it starts (the user's sound server, or SDL's
// device), whose thread only copies.
#pragma once
#include <cstdint>

// --- Diagnostics of the playing track (benchmarks and tests; the show never calls them)
uint64_t musicUnderrunFrames();        // frames of silence played because decoding fell behind; 0 when healthy
uint64_t musicFramesHandedOver();      // frames given to the device or server so far; any thread, never waits
// Called on the audio thread at the start of every callback or server write request, before any sample
// is copied; nullptr for none. Lets a test hold the audio thread up the way a busy machine does.
using AudioCallbackHook = void (*)();
void setAudioCallbackHook(AudioCallbackHook hook);
