// ScriptedHost. The tick source is a plain function pointer, so it reaches the one live host through
// a file-level pointer; only one scripted host may exist at a time.
#include "main/scripted_host.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "audio/music.h"
#include "utils/video.h"

namespace {
ScriptedHost* current = nullptr;
uint32_t scriptedTicks() { return current ? current->ticks() : 0; }
}  // namespace

ScriptedHost::ScriptedHost(ScriptedShowOptions options) : options_(std::move(options))
{
    assert(current == nullptr && "one scripted host at a time");
    assert(options_.framesPerSecond > 0);
    current = this;
    setTickSource(&scriptedTicks);
}

ScriptedHost::~ScriptedHost()
{
    setTickSource(nullptr);
    current = nullptr;
}

uint32_t ScriptedHost::elapsedMs() const { return uint32_t(uint64_t(frame_) * 1000u / uint64_t(options_.framesPerSecond)); }

uint32_t ScriptedHost::ticks() const { return options_.startTicks + elapsedMs(); }

uint32_t ScriptedHost::positionMs() const { return std::min(elapsedMs(), options_.trackLengthMs); }

void ScriptedHost::fetchSpectrum()
{
    const uint32_t position = positionMs();
    if (position < options_.trackLengthMs && options_.spectrumAt) {
        options_.spectrumAt(position, spectrum);
    } else {
        std::memset(spectrum, 0, sizeof spectrum);  // the music is over: silence
    }
}

uint32_t ScriptedHost::musicPosition() { return positionMs(); }

uint32_t ScriptedHost::musicLength() { return options_.trackLengthMs; }

void ScriptedHost::endFrame()
{
    if (options_.onFrameEnd) options_.onFrameEnd(frame_);
    if (options_.present) ::endFrame();
    ++frame_;
}

bool ScriptedHost::escapePressed() { return options_.escapeAfterFrames >= 0 && frame_ >= options_.escapeAfterFrames; }
