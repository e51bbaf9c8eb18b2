// A ShowHost with scripted time: one frame counter drives both the wall clock (through the tick
// source) and the music position, and the spectrum is a function of that position. The show's own
// start-up, frame loop and closing screen run on it unchanged, headless and repeatable.
#pragma once
#include <cstdint>
#include <functional>

#include "main/show.h"

struct ScriptedShowOptions {
    int framesPerSecond = 60;
    uint32_t trackLengthMs = 0;     // musicLength(); the position stops here
    uint32_t startTicks = 0;        // wall clock at the first frame, ms (what start-up took)
    // Fills SpectrumSize magnitudes for a music position below the track length; empty: silence.
    std::function<void(uint32_t positionMs, float* out)> spectrumAt;
    long escapeAfterFrames = -1;    // escapePressed() once this many frames have ended; -1: never
    std::function<void(long frame)> onFrameEnd;  // after a frame is drawn, before it is presented
    bool present = true;            // pass each frame to SDL (event pump and swap); needs the display
};

class ScriptedHost : public ShowHost {
public:
    explicit ScriptedHost(ScriptedShowOptions options);  // takes over demoTime() until destroyed
    ~ScriptedHost() override;                            // gives demoTime() back to SDL's ticks
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    // --- ShowHost
    void fetchSpectrum() override;     // fills spectrum for the current position, zeros after the end
    uint32_t musicPosition() override; // ms: frame x 1000 / fps, at most the track length
    uint32_t musicLength() override;   // ms
    void endFrame() override;          // runs onFrameEnd, presents, then advances one frame
    bool escapePressed() override;

    // --- Script state
    long frame() const { return frame_; }  // frames ended so far
    uint32_t ticks() const;                // wall clock now, ms
    uint32_t positionMs() const;           // music position now, ms

private:
    ScriptedShowOptions options_;
    long frame_ = 0;
    uint32_t elapsedMs() const;            // since the first frame
};
