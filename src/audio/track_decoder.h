// The boundary every decoder of a track file meets: the whole track at 44.1 kHz interleaved stereo
// floats, read piece by piece, with its exact length known once open. The live player and the
// decoded track open theirs through openTrackDecoder, the one place that picks a decoder for a file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

constexpr int MusicSampleRate = 44100;   // frames per second of everything the music component hands out
constexpr int MusicChannels = 2;

class TrackDecoder {
public:
    virtual ~TrackDecoder() = default;   // closes

    // --- Opening and closing
    virtual int open(const char* fileName) = 0;   // MusicOk, or the MusicError that names why the file can't play
    virtual void close() = 0;                     // safe to call when not open

    // --- Reading (one thread at a time)
    virtual uint64_t frames() const = 0;                    // frames the track plays, fixed at open
    virtual size_t read(float* out, size_t maxFrames) = 0;  // interleaved stereo; fewer than asked only at the end
    virtual bool finished() const = 0;                      // the end was reached, normally or by error()
    virtual int error() const = 0;                          // MusicOk, or DecodeFailed once a read failed
};

// --- Opening a track file
// A decoder for the file, open; MusicOk, or the MusicError that names why the file can't play (out
// then empty). Every track is MP3 for now (audio/mp3_decoder.h).
int openTrackDecoder(const char* fileName, std::unique_ptr<TrackDecoder>& out);

// --- Time in frames (44.1 kHz) and milliseconds
constexpr uint32_t framesToMs(uint64_t frames) { return uint32_t(frames * 1000 / MusicSampleRate); }  // whole ms
constexpr uint64_t msToFrames(uint32_t ms) { return uint64_t(ms) * MusicSampleRate / 1000; }          // floor
