// The show's music: a StreamPlayer fed by its decoder thread, played through the user's sound server
// when there is one (PulseOutput) and otherwise through SDL audio (the 1.2 API), whose callback only
// copies; and the main-thread queries. Every failing step stops the process through checkFmod with
// this component's own codes (music_errors.h).
#include "audio/music.h"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "audio/analyser.h"
#include "audio/music_errors.h"
#include "desktop/pulse_output.h"
#include "audio/stream_player.h"
#include "utils/fatal.h"

float spectrum[SpectrumSize];

namespace {
constexpr size_t PrefillFrames = 22050;       // half a second decoded before the first callback

StreamPlayer* player = nullptr;          // from the start of initMusic to closeMusic
SpectrumAnalyser* analyser = nullptr;
PulseOutput* server = nullptr;   // while playing through the sound server
bool deviceOpen = false;         // while playing through SDL
uint32_t sdlQueuedFrames = 0;    // set before the SDL device runs
uint32_t lastPositionMs = 0;   // what the position queries answer while nothing is open
std::atomic<AudioCallbackHook> callbackHook{nullptr};

// Frames handed to SDL earlier and not yet heard when a callback starts. SDL's PulseAudio driver asks
// the server for one buffer of latency and writes only what the server asks for, so about half a buffer
// is still queued then (80-96 ms of a 186 ms buffer, heard on a null sink's monitor with the sink at
// low latency, bench/audio/audio_sync.cpp). The dummy and disk drivers consume a buffer as they take it.
uint32_t sdlQueuedBeforeCallback(const char* driver)
{
    return driver && std::strcmp(driver, "pulseaudio") == 0 ? MusicDeviceBufferFrames / 2 : 0;
}

// The sound server is tried first wherever SDL would try its PulseAudio driver first: no driver named,
// or that one. A named other driver (the tests' dummy and disk, say) goes straight to SDL.
bool serverWanted()
{
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    return !driver || !*driver || std::strcmp(driver, "pulseaudio") == 0;
}

void runCallbackHook()
{
    if (AudioCallbackHook hook = callbackHook.load(std::memory_order_acquire)) hook();
}

void audioCallback(void* userData, Uint8* stream, int bytes)
{
    runCallbackHook();
    auto* p = static_cast<StreamPlayer*>(userData);
    p->fill(reinterpret_cast<int16_t*>(stream), size_t(bytes) / (sizeof(int16_t) * MusicChannels), steadyNowNs(),
            sdlQueuedFrames);
}

// Before any exit while playing: exit runs sdl12-compat's unload, and SDL2's audio thread, still
// calling back through it, would crash the process instead of exiting with its status. Our fatal
// stops call this first; Xlib ends the process with exit(1) when the X server goes away, and reaches
// it through the exit hook that initMusic registers.
void haltPlayback()
{
    if (server) server->close();
    if (deviceOpen) SDL_CloseAudio();
    deviceOpen = false;
    if (player) player->stop();
}

void registerExitHook()
{
    static bool registered = false;
    if (!registered) registered = std::atexit(haltPlayback) == 0;
}
}  // namespace

void checkFmod(int result)
{
    if (result == MusicOk) return;
    haltPlayback();
    fatalExit(-1, "FMOD error! (%d) %s\n", result, musicErrorText(result));
}

void initMusic(const char* fileName)
{
    if (player) checkFmod(MusicAlreadyOpen);
    player = new StreamPlayer;
    // The file first, so a bad track reads the same on a machine without sound.
    checkFmod(player->open(fileName));
    player->prefill(PrefillFrames);
    checkFmod(player->startDecoderThread());
    analyser = new SpectrumAnalyser;
    lastPositionMs = 0;
    registerExitHook();  // runs before the shared libraries are unloaded at exit
    if (serverWanted()) {
        server = new PulseOutput;
        if (server->open(*player, runCallbackHook)) return;
        delete server;
        server = nullptr;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) checkFmod(AudioSystemUnavailable);

    SDL_AudioSpec wanted{};
    wanted.freq = MusicSampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = MusicChannels;
    wanted.samples = MusicDeviceBufferFrames;
    wanted.callback = audioCallback;
    wanted.userdata = player;
    // No "obtained" format: SDL then converts to whatever the device really takes, so the callback
    // always fills 44.1 kHz 16-bit stereo. The device plays silence until unpaused, so nothing slow
    // belongs between opening and unpausing.
    if (SDL_OpenAudio(&wanted, nullptr) != 0) checkFmod(AudioDeviceUnavailable);
    deviceOpen = true;
    char driver[32];
    sdlQueuedFrames = sdlQueuedBeforeCallback(SDL_AudioDriverName(driver, sizeof driver));
    SDL_PauseAudio(0);
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
    if (server) {
        server->close();   // returns after the last write; none runs from here on
        delete server;
        server = nullptr;
    } else {
        SDL_CloseAudio();   // returns after the last callback; none runs from here on
        deviceOpen = false;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    player->stop();
    delete player;
    player = nullptr;
    delete analyser;
    analyser = nullptr;
}
