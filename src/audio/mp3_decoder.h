// An MP3 file decoded piece by piece with libmpg123, always as 44.1 kHz interleaved stereo floats
// (other rates resampled, mono doubled), with its exact length known from a frame scan at open.
#pragma once
#include "audio/track_decoder.h"

class Mp3Decoder final : public TrackDecoder {
public:
    Mp3Decoder() = default;
    ~Mp3Decoder() override;   // closes
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // --- Opening and closing
    int open(const char* fileName) override;   // MusicOk, or the MusicError that names why the file can't play
    void close() override;                     // safe to call when not open

    // --- Reading (one thread at a time)
    uint64_t frames() const override { return frames_; }     // frames the track plays, fixed at open
    size_t read(float* out, size_t maxFrames) override;      // interleaved stereo; fewer than asked only at the end
    bool finished() const override { return finished_; }     // the end was reached, normally or by error()
    int error() const override { return error_; }            // MusicOk, or DecodeFailed once a read failed

private:
    void* handle_ = nullptr;   // mpg123_handle
    int fd_ = -1;
    uint64_t frames_ = 0;
    uint64_t delivered_ = 0;
    bool finished_ = false;
    int error_ = 0;
};
