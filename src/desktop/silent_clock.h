// The output that plays nothing: it takes the player's samples at the real pace and drops them, so
// the play position runs on to the end in silence. What a sound server that went away mid-show is
// replaced with (SDL does the same on a lost device: it keeps calling back).
#pragma once
#include <atomic>
#include <cstddef>
#include <thread>

#include "desktop/audio_output.h"

// --- Pacing (pure)
// Frames owed since the last step, handed over in whole frames, at most StreamPlayer::MaxCallbackFrames
// at a time (the rest carried to later steps, so a late step catches up without one huge fill).
class SilentPace {
public:
    size_t step(double elapsedSeconds);   // frames to hand over now, after elapsedSeconds (>= 0) more

private:
    double owed_ = 0;
};

class SilentClock final : public AudioOutput {
public:
    static constexpr int StepMs = 10;   // how often the clock hands samples over

    SilentClock() = default;
    ~SilentClock() override;   // closes
    SilentClock(const SilentClock&) = delete;
    SilentClock& operator=(const SilentClock&) = delete;

    // --- Any one thread at a time
    bool open(StreamPlayer& player);   // starts the clock's thread; false if it can't start (nothing then runs)
    void close() override;             // ends and joins the thread; idempotent

private:
    void run();

    StreamPlayer* player_ = nullptr;
    std::atomic<bool> closing_{false};
    std::thread thread_;
};
