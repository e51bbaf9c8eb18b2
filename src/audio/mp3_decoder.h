// An MP3 file decoded piece by piece with libmpg123, always as 44.1 kHz interleaved stereo floats
// (other rates resampled, mono doubled), with its exact length known from a frame scan at open.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int MusicSampleRate = 44100;   // frames per second of everything the music component hands out
constexpr int MusicChannels = 2;

class Mp3Decoder {
public:
    Mp3Decoder() = default;
    ~Mp3Decoder();   // closes
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // --- Opening and closing
    int open(const char* fileName);   // MusicOk, or the MusicError that names why the file can't play
    void close();                     // safe to call when not open

    // --- Reading (one thread at a time)
    uint64_t frames() const { return frames_; }     // frames the track plays, fixed at open
    size_t read(float* out, size_t maxFrames);      // interleaved stereo; fewer than asked only at the end
    bool finished() const { return finished_; }     // the end was reached, normally or by error()
    int error() const { return error_; }            // MusicOk, or DecodeFailed once a read failed

private:
    void* handle_ = nullptr;   // mpg123_handle
    int fd_ = -1;
    uint64_t frames_ = 0;
    uint64_t delivered_ = 0;
    bool finished_ = false;
    int error_ = 0;
};

// --- Time in frames (44.1 kHz) and milliseconds
constexpr uint32_t framesToMs(uint64_t frames) { return uint32_t(frames * 1000 / MusicSampleRate); }  // whole ms
constexpr uint64_t msToFrames(uint32_t ms) { return uint64_t(ms) * MusicSampleRate / 1000; }          // floor
