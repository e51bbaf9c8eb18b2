// The music through SDL audio (the 1.2 API), for machines without a sound server or whose server
// refuses our own stream: SDL's callback only copies from the player, and the play clock is told how
// much of what SDL was handed earlier is still queued, which depends on SDL's driver.
#pragma once
#include <cstdint>

#include "desktop/audio_output.h"

class StreamPlayer;

// SDL's device buffer. SDL's PulseAudio driver, used only if the server refuses our own stream, asks
// for one buffer of latency, and about half a buffer stays queued when a callback starts: with 8192
// frames (186 ms) callbacks held up 40-60 ms left no hole. A power of two: SDL's dummy driver crashes
// on others.
constexpr uint16_t MusicDeviceBufferFrames = 8192;

class SdlAudioOutput final : public AudioOutput {
public:
    SdlAudioOutput() = default;
    ~SdlAudioOutput() override;   // closes
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    // --- Main thread (one at a time: SDL 1.2 has one device)
    // Opens SDL's device and starts playing the player's samples: MusicOk, AudioSystemUnavailable (no
    // driver starts) or AudioDeviceUnavailable (the device won't open), with nothing left open then.
    int open(StreamPlayer& player, BeforeEachFill beforeEachCallback);
    void close() override;   // returns after the last callback; none runs from here on; idempotent

private:
    static void callback(void* self, uint8_t* stream, int bytes);

    StreamPlayer* player_ = nullptr;
    BeforeEachFill beforeEachCallback_ = nullptr;
    uint32_t queuedFrames_ = 0;   // set before the device runs
    bool open_ = false;
};
