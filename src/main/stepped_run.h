// The show run offline at a fixed frame rate, as the capture tool and the page's stepped mode run it:
// a ScriptedHost drives both clocks from the frame number, the spectrum comes from the decoded track,
// frames nobody looks at still run the whole show logic but are drawn into one pixel, and an
// observer may watch the timeline. Start-up (initVideo, startShow) comes before it.
#pragma once
#include <cstdint>
#include <functional>

#include "main/scripted_host.h"
#include "main/show.h"

class TimelineObserver;

struct SteppedRunOptions {
    int framesPerSecond = 60;
    uint32_t trackLengthMs = 0;                                       // the decoded track's length
    std::function<void(uint32_t positionMs, float* out)> spectrumAt;  // as ScriptedShowOptions
    long lastFrame = -1;                        // Escape after this frame; -1: to the end of the closing screen
    std::function<bool(long frame)> looksAt;    // frames drawn in full; the rest are squeezed. Empty: every frame
    std::function<void(long frame)> onFrameEnd; // every frame, once drawn and before the next (read back here)
    TimelineObserver* observer = nullptr;       // attached for the run's lifetime; nullptr: none
};

class SteppedRun {
public:
    explicit SteppedRun(SteppedRunOptions options);  // takes over demoTime() and the timeline observer
    ~SteppedRun();                                   // gives both back, the picture viewport whole again
    SteppedRun(const SteppedRun&) = delete;
    SteppedRun& operator=(const SteppedRun&) = delete;

    // --- Running
    bool step();                                   // one frame; false once the show has ended
    LoopExit runToEnd();                           // steps until it has ended

    // --- State
    long frame() const { return host_.frame(); }   // frames drawn so far
    ShowRun::Phase phase() const { return run_.phase(); }
    LoopExit exit() const { return run_.exit(); }  // meaningful once phase() is Ended
    bool lookedAt(long frame) const;               // drawn in full

private:
    static ScriptedShowOptions scriptFor(SteppedRun& self);
    void squeezeUnlessLookedAt(long frame);

    SteppedRunOptions options_;
    ScriptedHost host_;
    ShowRun run_;
};
