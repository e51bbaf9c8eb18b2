// SteppedRun. The squeeze for a frame is set before that frame draws: at construction for frame 0,
// then after each frame's own end for the next.
#include "main/stepped_run.h"

#include "timeline/timeline_events.h"
#include "utils/draw.h"

ScriptedShowOptions SteppedRun::scriptFor(SteppedRun& self)
{
    const SteppedRunOptions& o = self.options_;
    ScriptedShowOptions script;
    script.framesPerSecond = o.framesPerSecond;
    script.trackLengthMs = o.trackLengthMs;
    script.spectrumAt = o.spectrumAt;
    script.escapeAfterFrames = o.lastFrame >= 0 ? o.lastFrame + 1 : -1;
    script.present = false;
    script.onFrameEnd = [&self](long n) {
        if (self.options_.onFrameEnd) self.options_.onFrameEnd(n);
        self.squeezeUnlessLookedAt(n + 1);
    };
    return script;
}

SteppedRun::SteppedRun(SteppedRunOptions options) : options_(std::move(options)), host_(scriptFor(*this))
{
    setTimelineObserver(options_.observer);
    squeezeUnlessLookedAt(0);
}

SteppedRun::~SteppedRun()
{
    setTimelineObserver(nullptr);
    squeezeDrawing(false);
}

bool SteppedRun::lookedAt(long frame) const { return !options_.looksAt || options_.looksAt(frame); }

void SteppedRun::squeezeUnlessLookedAt(long frame)
{
    squeezeDrawing(!lookedAt(frame));
}

bool SteppedRun::step() { return run_.step(host_); }

LoopExit SteppedRun::runToEnd()
{
    while (step()) {
    }
    return exit();
}
