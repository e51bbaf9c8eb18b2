// The show's music over SDL audio (the 1.2 API): a StreamPlayer fed by its decoder thread, an SDL
// callback that only copies from it, and the main-thread queries. Every failing step stops the process
// through checkFmod with this component's own codes (music_errors.h).
#include "audio/music.h"

#include <SDL.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "audio/analyser.h"
#include "audio/music_errors.h"
#include "audio/stream_player.h"
#include "utils/fatal.h"

float spectrum[SpectrumSize];

namespace {
constexpr size_t PrefillFrames = 22050;       // half a second decoded before the first callback

StreamPlayer* player = nullptr;          // from the start of initMusic to closeMusic
SpectrumAnalyser* analyser = nullptr;
bool deviceOpen = false;
uint32_t lastPositionMs = 0;   // what the position queries answer while nothing is open
std::atomic<AudioCallbackHook> callbackHook{nullptr};

// Frames from handing a sample to SDL to hearing it. SDL's PulseAudio driver (also its way to PipeWire)
// asks the server for one buffer of latency and writes only what the server asks for, so when the
// callback starts the server still holds about half a buffer besides the one being filled: 80-96 ms
// of a 186 ms buffer on PulseAudio and 98-107 ms on PipeWire, heard on a null sink's monitor
// (bench/audio/audio_sync.cpp). The dummy and disk drivers consume a buffer as they take it.
uint32_t queuedFrames(const char* driver)
{
    const uint32_t buffer = MusicDeviceBufferFrames;
    return driver && std::strcmp(driver, "pulseaudio") == 0 ? buffer + buffer / 2 : buffer;
}

void audioCallback(void* userData, Uint8* stream, int bytes)
{
    if (AudioCallbackHook hook = callbackHook.load(std::memory_order_acquire)) hook();
    auto* p = static_cast<StreamPlayer*>(userData);
    p->fill(reinterpret_cast<int16_t*>(stream), size_t(bytes) / (sizeof(int16_t) * MusicChannels), steadyNowNs());
}

// Before any exit while playing: exit runs sdl12-compat's unload, and SDL2's audio thread, still
// calling back through it, would crash the process instead of exiting with its status. Our fatal
// stops call this first; Xlib ends the process with exit(1) when the X server goes away, and reaches
// it through the exit hook that initMusic registers.
void haltPlayback()
{
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
    registerExitHook();  // runs before the shared libraries are unloaded at exit
    if (SDL_OpenAudio(&wanted, nullptr) != 0) checkFmod(AudioDeviceUnavailable);
    deviceOpen = true;
    char driver[32];
    player->setLatencyFrames(queuedFrames(SDL_AudioDriverName(driver, sizeof driver)));
    lastPositionMs = 0;
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

void setAudioCallbackHook(AudioCallbackHook hook) { callbackHook.store(hook, std::memory_order_release); }

void closeMusic()
{
    if (!player) checkFmod(MusicNotOpen);
    SDL_CloseAudio();   // returns after the last callback; none runs from here on
    deviceOpen = false;
    player->stop();
    delete player;
    player = nullptr;
    delete analyser;
    analyser = nullptr;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
