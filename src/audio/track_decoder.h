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

// Which decoder a file gets. The show's own track is MP3 and goes through libmpg123 as it always
// has (audio/mp3_decoder.h); a listener's track may be any format libsndfile reads, at any rate and
// channel count (desktop/sndfile_decoder.h).
enum class TrackFormat { ShowMp3, AnyFormat };

constexpr double MaxTrackSeconds = 20 * 60;   // the longest listener's track played: 423 MB decoded whole in stereo

// --- Opening a track file
// A decoder for the file, open; MusicOk, or the MusicError that names why the file can't play (out
// then empty).
int openTrackDecoder(const char* fileName, std::unique_ptr<TrackDecoder>& out,
                     TrackFormat format = TrackFormat::ShowMp3);
// Before any decoder: MusicOk, or TrackNotFound, TrackUnreadable (not a regular file, no permission)
// or TrackEmpty, so each gets its own error instead of a decoder's generic one.
int checkTrackFile(const char* fileName);
// The platform's decoder for TrackFormat::AnyFormat: libsndfile's on the desktop
// (desktop/sndfile_decoder.cpp); none in a browser, whose page decodes a listener's track itself.
std::unique_ptr<TrackDecoder> makeAnyFormatDecoder();

// --- Time in frames (44.1 kHz) and milliseconds
constexpr uint32_t framesToMs(uint64_t frames) { return uint32_t(frames * 1000 / MusicSampleRate); }  // whole ms
constexpr uint64_t msToFrames(uint32_t ms) { return uint64_t(ms) * MusicSampleRate / 1000; }          // floor
