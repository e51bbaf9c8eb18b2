// ListenHost. Silence stands in for the sound while the server is away, at the clock's pace, so the
// cue finder and the spawn rules see a quiet room rather than time standing still.
#include "main/listen_host.h"

#include <algorithm>
#include <chrono>
#include <limits>

#include "audio/music.h"
#include "timeline/cue_list.h"

namespace {
constexpr size_t ReadFrames = 4096;

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

ShowScore listeningScore() { return listenerScore({}); }

ListenHost::ListenHost(SoundCapture& capture, std::FILE* notices, Clock clock)
    : capture_(capture), notices_(notices), clock_(clock ? clock : steadySeconds),
      incoming_(ReadFrames * MusicChannels), newest_(AnalysisSize, 0.0f)
{
}

void ListenHost::take(const float* stereo, size_t frames)
{
    cues_.add(stereo, frames);
    const size_t kept = std::min<size_t>(frames, AnalysisSize);
    std::rotate(newest_.begin(), newest_.begin() + std::ptrdiff_t(kept), newest_.end());
    for (size_t i = 0; i < kept; ++i) newest_[AnalysisSize - kept + i] = stereo[2 * (frames - kept + i)];
    frames_ += frames;
}

void ListenHost::fetchSpectrum()
{
    const double now = clock_();
    for (size_t got; (got = capture_.read(incoming_.data(), ReadFrames)) > 0;) take(incoming_.data(), got);
    if (!capture_.listening()) {
        if (!away_) {
            if (notices_) std::fprintf(notices_, "show: the sound server went away; listening again once it is back\n");
            away_ = true;
            awaySince_ = lastTake_ >= 0 ? lastTake_ : now;
            framesAtLoss_ = frames_;
        }
        const uint64_t due = framesAtLoss_ + uint64_t((now - awaySince_) * MusicSampleRate);
        std::fill(incoming_.begin(), incoming_.end(), 0.0f);
        while (frames_ < due) take(incoming_.data(), size_t(std::min<uint64_t>(due - frames_, ReadFrames)));
    } else if (away_) {
        if (notices_) std::fprintf(notices_, "show: listening to '%s' again\n", capture_.sourceName().c_str());
        away_ = false;
    }
    lastTake_ = now;
    for (float t : cues_.takeCues()) CueList.push_back(t);
    analyser_.analyse(newest_.data(), spectrum);
}

uint32_t ListenHost::musicPosition() { return framesToMs(frames_); }

uint32_t ListenHost::musicLength() { return std::numeric_limits<uint32_t>::max(); }
