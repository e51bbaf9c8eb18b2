// What the audio callback has handed to the device, published for the main thread without locks:
// the running frame count with the moment of that hand-over and the device's latency then, and the
// newest channel-0 samples.
// Neither side ever waits for the other; a reader only reads again if it was itself stalled for
// several hand-overs in the middle of a read.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

struct TapReading {
    uint64_t frames = 0;   // frames handed to the device so far (track, then silence after its end)
    int64_t timeNs = 0;    // steady-clock nanoseconds of the hand-over that reached that count; 0 before any
    uint32_t latencyFrames = 0;   // of those frames, how many the device had not yet played at timeNs
};

class PlaybackTap {
public:
    // Channel-0 samples kept, about 3 s at 44.1 kHz: what is handed over but not yet heard (the sound
    // server's queue and the sink's buffer, 0.42 s, or more where the user's PULSE_LATENCY_MSEC asks the
    // server for more) and as much again for a reader that stalls.
    static constexpr size_t HistoryFrames = 131072;

    PlaybackTap();
    PlaybackTap(const PlaybackTap&) = delete;
    PlaybackTap& operator=(const PlaybackTap&) = delete;

    // --- Callback side (one thread); nothing is visible until publish()
    void append(const float* interleaved, size_t frames, int channels);  // keeps channel 0 of each frame
    void appendSilence(size_t frames);
    // Makes every appended frame visible, stamped with timeNs and how many of all the frames appended so
    // far the device had still to play then.
    void publish(int64_t timeNs, uint32_t latencyFrames);

    // --- Reader side (any thread)
    TapReading latest() const;        // a count, time and latency from the same hand-over
    // Channel 0 of frames [first, first + count): false if any of them is not yet published or has
    // already been overwritten (count <= HistoryFrames).
    bool copyChannel0(uint64_t first, size_t count, float* out) const;

private:
    void reserve(size_t frames);
    std::unique_ptr<std::atomic<float>[]> history_;
    uint64_t pending_ = 0;                    // callback's own count, ahead of the published one
    struct Slot {
        std::atomic<uint64_t> frames{0};
        std::atomic<int64_t> timeNs{0};
        std::atomic<uint32_t> latencyFrames{0};
    };
    static constexpr uint64_t SlotCount = 8;  // hand-overs a reader may sleep through before it retries
    Slot slots_[SlotCount];
    std::atomic<uint64_t> reserved_{0};       // frames the callback may have written into the history
    std::atomic<uint64_t> writing_{0};        // the hand-over being written into its slot
    std::atomic<uint64_t> published_{0};      // the newest complete hand-over; 0: none yet
    std::atomic<uint64_t> frames_{0};         // its frame count, for history readers
};
