// The show's music on the desktop: a StreamPlayer fed by its decoder thread, played through one
// AudioOutput chosen when it starts (the user's sound server, or SDL's device), whose thread only
// copies; and the main-thread queries. Every failing step stops the process through checkFmod with
// this component's own codes (music_errors.h).
#include "audio/music.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "audio/analyser.h"
#include "audio/audio_output.h"
#include "audio/music_errors.h"
#include "audio/stream_player.h"

namespace {
constexpr size_t PrefillFrames = 22050;       // half a second decoded before the first callback

StreamPlayer* player = nullptr;          // from the start of initMusic to closeMusic
SpectrumAnalyser* analyser = nullptr;
std::unique_ptr<AudioOutput> output;     // while playing
uint32_t lastPositionMs = 0;   // what the position queries answer while nothing is open
std::atomic<AudioCallbackHook> callbackHook{nullptr};

void runCallbackHook()
{
    if (AudioCallbackHook hook = callbackHook.load(std::memory_order_acquire)) hook();
}

void registerExitHook()
{
    static bool registered = false;
    if (!registered) registered = std::atexit(haltPlayback) == 0;
}
}  // namespace

// Before any exit while playing: exit runs sdl12-compat's unload, and SDL2's audio thread, still
// calling back through it, would crash the process instead of exiting with its status. Our fatal
// stops call this first (checkFmod); Xlib ends the process with exit(1) when the X server goes away,
// and reaches it through the exit hook that initMusic registers.
void haltPlayback()
{
    if (output) output->close();
    if (player) player->stop();
}

void initMusic(const char* fileName, TrackFormat format)
{
    if (player) checkFmod(MusicAlreadyOpen);
    player = new StreamPlayer;
    // The file first, so a bad track reads the same on a machine without sound.
    checkFmod(player->open(fileName, format));
    player->prefill(PrefillFrames);
    checkFmod(player->startDecoderThread());
    analyser = new SpectrumAnalyser;
    lastPositionMs = 0;
    registerExitHook();  // runs before the shared libraries are unloaded at exit
    checkFmod(openAudioOutput(*player, runCallbackHook, output));
}

void fetchSpectrum()
{
    if (!player) checkFmod(MusicNotOpen);
    checkFmod(player->decodeError());
    // The history only misses the window if this thread stalled for half a second between reading
    // the position and copying; the next try starts from the newer position.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (player->spectrumAt(player->playFrame(steadyNowNs()), *analyser, spectrum)) return;
    }
}

uint32_t musicPosition()
{
    if (player) lastPositionMs = framesToMs(player->playFrame(steadyNowNs()));
    return lastPositionMs;
}

uint32_t musicLength() { return player ? framesToMs(player->trackFrames()) : 0; }

uint64_t musicUnderrunFrames() { return player ? player->underrunFrames() : 0; }

uint64_t musicFramesHandedOver() { return player ? player->tap().latest().frames : 0; }

void setAudioCallbackHook(AudioCallbackHook hook) { callbackHook.store(hook, std::memory_order_release); }

void closeMusic()
{
    if (!player) checkFmod(MusicNotOpen);
    output->close();   // returns after the last fill; none runs from here on
    output.reset();
    player->stop();
    delete player;
    player = nullptr;
    delete analyser;
    analyser = nullptr;
}
