// The playing track without the device: a decoder thread keeps a lock-free ring of 44.1 kHz stereo
// samples well ahead, the audio callback only copies from it and publishes what it handed over, and
// the main thread derives the play position and spectrum from that publication without waiting.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "desktop/playback_tap.h"
#include "desktop/sample_ring.h"
#include "audio/track_decoder.h"


// --- Pure pieces of the play clock
// Frame heard at nowNs when reading.frames had been handed over at reading.timeNs with the device
// reading.latencyFrames behind: advanced by the time since, never past what was handed, never < 0.
uint64_t estimatePlayFrame(const TapReading& reading, int64_t nowNs);
int16_t toDeviceSample(float sample);   // [-1, 1) to 16-bit, clipped; what the device receives
int64_t steadyNowNs();                  // the clock the callback stamps with

class StreamPlayer {
public:
    static constexpr size_t RingFrames = 65536;        // about 1.5 s decoded ahead
    static constexpr size_t DecodeChunkFrames = 4096;  // per decoder step
    static constexpr size_t MaxCallbackFrames = 8192;  // handled per publish; longer buffers go in pieces
    static constexpr uint32_t MaxLatencyFrames = PlaybackTap::HistoryFrames / 2;   // the rest for a late reader

    StreamPlayer();
    ~StreamPlayer();   // stops the decoder thread
    StreamPlayer(const StreamPlayer&) = delete;
    StreamPlayer& operator=(const StreamPlayer&) = delete;

    // --- Setting up (main thread, before the device runs)
    int open(const char* fileName, TrackFormat format = TrackFormat::ShowMp3);   // MusicOk or a MusicError (music_errors.h)
    bool decodeStep();                               // one chunk into the ring; false if full or finished
    void prefill(size_t frames);                     // decode on this thread until that much is queued
    int startDecoderThread();                        // MusicOk or DecoderThreadFailed
    void stop();                                     // ends and joins the decoder thread; idempotent

    // --- Audio callback (the device's thread): copies, converts, publishes; never blocks or allocates
    // Interleaved stereo; queuedFrames: what earlier calls handed over that the device has still to
    // play at nowNs (clamped so that, with these frames, at most MaxLatencyFrames are counted).
    void fill(int16_t* out, size_t frames, int64_t nowNs, uint32_t queuedFrames);

    // --- Main thread
    uint64_t trackFrames() const { return trackFrames_; }    // fixed at open
    uint64_t playFrame(int64_t nowNs);                       // never decreasing, at most trackFrames()
    int decodeError() const { return decodeError_.load(std::memory_order_acquire); }
    uint64_t underrunFrames() const { return underrunFrames_.load(std::memory_order_relaxed); }
    const PlaybackTap& tap() const { return tap_; }

private:
    std::unique_ptr<TrackDecoder> decoder_;   // from a successful open until stop
    SampleRing ring_;
    PlaybackTap tap_;
    std::vector<float> decodeBuffer_;     // decoder side
    std::vector<float> callbackBuffer_;   // callback side, sized once so fill() never allocates
    uint64_t trackFrames_ = 0;
    uint64_t lastPlayFrame_ = 0;          // main thread's, for the never-decreasing rule
    std::thread decoderThread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> allDecoded_{false}; // set after the last sample is in the ring
    std::atomic<int> decodeError_{0};
    std::atomic<uint64_t> underrunFrames_{0};
};
