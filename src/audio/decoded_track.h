// A whole track decoded into memory, for what needs the music without a device (the video capture,
// the scripted show test, the browser, which has no threads to stream with): the same decoder,
// samples and spectrum definition as the live show. The show's own desktop start-up streams instead.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/track_decoder.h"

class SpectrumAnalyser;

// Which channels a decoded track keeps: both (interleaved stereo, for tools that write the audio out),
// or only channel 0, the spectrum's, at half the memory (the browser, whose sound goes elsewhere).
enum class KeptChannels { Both = 2, First = 1 };

// Stereo frames decodeSome has just decoded: interleaved, valid until the next call.
struct DecodedSlice {
    uint64_t firstFrame = 0;
    size_t frames = 0;
    const float* stereo = nullptr;
};

class DecodedTrack {
public:
    // Channel 0 of frame f is samples[f * channels()]. Sized to the scanned length at open, all silence
    // until decoded: a track that decodes short of its scanned length stays silent there, as the live
    // player plays silence there.
    std::vector<float> samples;

    // --- Decoding in steps (open, then decodeSome until done)
    int open(const char* fileName, KeptChannels kept = KeptChannels::Both,
             TrackFormat format = TrackFormat::ShowMp3);   // MusicOk or a MusicError (then empty)
    DecodedSlice decodeSome(size_t maxFrames);   // at most maxFrames more, none once done; the decoder is let go at the end
    // Sized and silent with nothing left to decode, for samples a browser decoded itself and writes in.
    void openSilent(uint64_t frames, KeptChannels kept);
    bool done() const { return done_; }
    double fractionDone() const;                 // 0..1, 1 once done
    int error() const { return error_; }         // MusicOk, or DecodeFailed once a read failed (samples kept)

    // --- The track
    int channels() const { return int(kept_); }                           // 2 or 1
    uint64_t frames() const { return samples.size() / size_t(kept_); }   // the track's length in frames
    uint32_t lengthMs() const { return framesToMs(frames()); }           // what musicLength() reports
    void copyChannel0(uint64_t first, size_t count, float* out) const;   // frames [first, first + count), within the track

private:
    std::unique_ptr<TrackDecoder> decoder_;   // while decoding
    std::vector<float> slice_;                // one step's stereo when only channel 0 is kept
    KeptChannels kept_ = KeptChannels::Both;
    uint64_t decoded_ = 0;                    // frames so far
    bool done_ = false;
    int error_ = 0;
};

// --- Decoding in one go
// open + decodeSome to the end; MusicOk, or a MusicError and out empty
int decodeTrack(const char* fileName, DecodedTrack& out, TrackFormat format = TrackFormat::ShowMp3);

// --- Spectrum (AnalysisBins magnitudes into out; all zeros at or past the end)
void spectrumAt(const DecodedTrack& track, uint32_t positionMs, SpectrumAnalyser& analyser, float* out);
void spectrumAtFrame(const DecodedTrack& track, uint64_t positionFrame, SpectrumAnalyser& analyser, float* out);
