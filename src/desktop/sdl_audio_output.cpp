// SdlAudioOutput over SDL 1.2's one audio device, and its latency model: how much of what SDL was
// handed is still to be heard when a callback starts, by driver.
#include "desktop/sdl_audio_output.h"

#include <SDL.h>

#include <cstring>

#include "audio/music_errors.h"
#include "desktop/stream_player.h"

namespace {
// Frames handed to SDL earlier and not yet heard when a callback starts. SDL's PulseAudio driver asks
// the server for one buffer of latency and writes only what the server asks for, so about half a buffer
// is still queued then (80-96 ms of a 186 ms buffer, heard on a null sink's monitor with the sink at
// low latency, bench/audio/audio_sync.cpp). The dummy and disk drivers consume a buffer as they take it.
uint32_t queuedBeforeCallback(const char* driver)
{
    return driver && std::strcmp(driver, "pulseaudio") == 0 ? MusicDeviceBufferFrames / 2 : 0;
}
}  // namespace

SdlAudioOutput::~SdlAudioOutput() { close(); }

void SdlAudioOutput::callback(void* self, uint8_t* stream, int bytes)
{
    auto* out = static_cast<SdlAudioOutput*>(self);
    if (out->beforeEachCallback_) out->beforeEachCallback_();
    out->player_->fill(reinterpret_cast<int16_t*>(stream), size_t(bytes) / (sizeof(int16_t) * MusicChannels),
                       steadyNowNs(), out->queuedFrames_);
}

int SdlAudioOutput::open(StreamPlayer& player, BeforeEachFill beforeEachCallback)
{
    close();
    player_ = &player;
    beforeEachCallback_ = beforeEachCallback;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return AudioSystemUnavailable;

    SDL_AudioSpec wanted{};
    wanted.freq = MusicSampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = MusicChannels;
    wanted.samples = MusicDeviceBufferFrames;
    wanted.callback = callback;
    wanted.userdata = this;
    // No "obtained" format: SDL then converts to whatever the device really takes, so the callback
    // always fills 44.1 kHz 16-bit stereo. The device plays silence until unpaused, so nothing slow
    // belongs between opening and unpausing.
    if (SDL_OpenAudio(&wanted, nullptr) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return AudioDeviceUnavailable;
    }
    open_ = true;
    char driver[32];
    queuedFrames_ = queuedBeforeCallback(SDL_AudioDriverName(driver, sizeof driver));
    SDL_PauseAudio(0);
    return MusicOk;
}

void SdlAudioOutput::close()
{
    if (!open_) return;
    open_ = false;
    SDL_CloseAudio();   // returns after the last callback
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
