// A listener's track file of any format libsndfile reads (WAV, FLAC, Ogg Vorbis, Opus, MP3 and the
// rest of its list), decoded piece by piece as 44.1 kHz interleaved stereo floats: other rates
// resampled by libsamplerate, mono doubled, more channels mixed down to two. Tags and cover art are
// never read as sound.
#pragma once
#include <string>
#include <vector>

#include "audio/track_decoder.h"

// --- Mixing down (pure)
// The weight of each of the file's channels in the left and the right output: mono goes to both;
// stereo stays; with more, the left-hand channels go left, the right-hand ones right, centre ones
// to both at -3 dB and the LFE nowhere, each side scaled so its weights sum to 1 (a full-scale
// signal on every channel stays full scale). channelMap: libsndfile's SF_CHANNEL_* positions, or
// empty when the file names none; then vorbisOrder tells the layout (Vorbis and Opus: L C R ...;
// else the WAV and FLAC order L R C LFE ...).
struct StereoWeights {
    std::vector<float> left, right;   // one per channel of the file
};
StereoWeights stereoWeights(int channels, const std::vector<int>& channelMap, bool vorbisOrder);

// --- What decodes (a listener's samples depend on both libraries' versions)
std::string listenerDecoderVersions();   // e.g. "libsndfile-1.2.0, libsamplerate-0.2.2 (c) 2002-2008 ..."

class SndfileDecoder final : public TrackDecoder {
public:
    SndfileDecoder() = default;
    ~SndfileDecoder() override;   // closes
    SndfileDecoder(const SndfileDecoder&) = delete;
    SndfileDecoder& operator=(const SndfileDecoder&) = delete;

    // --- Opening and closing
    int open(const char* fileName) override;   // MusicOk, or the MusicError that names why the file can't play
    void close() override;                     // safe to call when not open

    // --- Reading (one thread at a time)
    uint64_t frames() const override { return frames_; }   // the file's length at 44.1 kHz, fixed at open
    size_t read(float* out, size_t maxFrames) override;    // interleaved stereo; fewer than asked only at the end
    bool finished() const override { return finished_; }
    int error() const override { return error_; }          // MusicOk, TrackEndsEarly or DecodeFailed once a read failed

private:
    bool refill();   // decodes, mixes and resamples the next block into pending_; false at the end of input

    void* file_ = nullptr;        // SNDFILE
    void* resampler_ = nullptr;   // SRC_STATE, only when the file's rate is not 44.1 kHz
    int channels_ = 0;
    double ratio_ = 1;            // output frames per input frame
    uint64_t inputFrames_ = 0;    // the file's own length, in its frames
    uint64_t inputRead_ = 0;
    bool inputEnded_ = false;
    StereoWeights weights_;
    std::vector<float> raw_, stereo_, pending_;
    size_t pendingAt_ = 0;        // frames of pending_ already handed out
    uint64_t frames_ = 0;
    uint64_t delivered_ = 0;
    bool finished_ = false;
    int error_ = 0;
};
