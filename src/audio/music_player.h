// What a platform plays the music with, below music.h: the track started, the frame being heard and
// channel 0's samples before it. music.cpp turns these into the show's music clock and spectrum the
// same way on every platform; the desktop streams through its outputs, the browser through Web Audio.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/track_decoder.h"

class MusicPlayer {
public:
    virtual ~MusicPlayer() = default;   // stops

    // --- Main thread
    virtual int start(const char* fileName, TrackFormat format) = 0;   // MusicOk once playing, or a MusicError
    virtual uint64_t trackFrames() const = 0;   // 44.1 kHz frames of the whole track, fixed once started
    virtual uint64_t playFrame() = 0;           // the frame being heard now: never decreasing, at most trackFrames()
    // Channel 0 of frames [first, first + count) into out; false (nothing written) when those samples
    // are no longer held, which a later frame may cure.
    virtual bool readChannel0(uint64_t first, size_t count, float* out) const = 0;
    virtual int error() const = 0;              // MusicOk, or a failure met while playing (a decode error)

    // --- Any failure path
    virtual void stop() = 0;                    // the sound off at once; idempotent
};

// --- The platform's (desktop/stream_music.cpp, web/web_music.cpp)
std::unique_ptr<MusicPlayer> makeMusicPlayer();
