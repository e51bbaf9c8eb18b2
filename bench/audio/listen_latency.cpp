// How long a sound takes from reaching the sound server to its effect on the screen, when the show
// listens live: the live show on a display, its source a sink's monitor into which run_listen_latency.sh
// plays clicks. For every cue: the capture (the server's fragment and what waited before this frame
// read it: the stream's reported latency at the read), the look-ahead (sound after the onset already
// in when the cue was decided) and the frame (from the read to the swap that shows the cue's sprites).
// A spectrum-driven spawn is drawn one frame later than a cue in the same frame, from the newest
// 512 samples (half a window, 5.8 ms, behind the newest): its chain is printed beside. With
// --squeezed every frame is drawn into one pixel: the chain without the software rasteriser's fill,
// as a graphics card would draw it.
//   listen_latency SOURCE SECONDS [--squeezed]      in a directory holding the show's images
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/sound_capture.h"
#include "audio/track_decoder.h"
#include "main/listen_host.h"
#include "main/show.h"
#include "timeline/timeline_events.h"
#include "utils/draw.h"
#include "utils/video.h"

namespace {
double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Chain {
    double capture, lookAhead, frame;
    double whole() const { return capture + lookAhead + frame; }
};

// The host's own steps, timed: what each read found, and when its frame was shown.
class TimedHost : public ListenHost {
public:
    TimedHost(SoundCapture& capture) : ListenHost(capture), capture_(capture) {}
    void fetchSpectrum() override
    {
        fetchedAt = steadySeconds();
        latency = capture_.latencySeconds();
        ListenHost::fetchSpectrum();
    }
    void endFrame() override
    {
        ListenHost::endFrame();
        shownAt = steadySeconds();
        if (pending.empty()) return;
        for (Chain& c : pending) c.frame = shownAt - fetchedAt;
        done.insert(done.end(), pending.begin(), pending.end());
        pending.clear();
    }
    double fetchedAt = 0, shownAt = 0, latency = 0;
    std::vector<Chain> pending, done;
    std::vector<double> frameTimes;

private:
    SoundCapture& capture_;
};

class CueTimer : public TimelineObserver {
public:
    explicit CueTimer(TimedHost& host) : host_(host) {}
    void frameStarted(const FrameEvent&) override
    {
        if (lastShown_ > 0) host_.frameTimes.push_back(host_.shownAt - lastShown_);
        lastShown_ = host_.shownAt;
    }
    void cueFired(const CueEvent& e) override
    {
        const double heard = double(host_.framesHeard()) / MusicSampleRate;
        host_.pending.push_back({host_.latency, heard - double(e.cueTime), 0});
    }

private:
    TimedHost& host_;
    double lastShown_ = 0;
};

double percentile(std::vector<double> v, double p)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void report(const char* what, const std::vector<double>& ms)
{
    std::printf("  %-34s median %6.1f ms, p95 %6.1f ms, max %6.1f ms\n", what, percentile(ms, 0.5), percentile(ms, 0.95),
                ms.empty() ? 0.0 : *std::max_element(ms.begin(), ms.end()));
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "--squeezed")) {
        std::fputs("usage: listen_latency SOURCE SECONDS [--squeezed]\n", stderr);
        return 2;
    }
    const double seconds = std::atof(argv[2]);
    auto capture = makeSoundCapture();
    std::string error;
    if (!capture->open(argv[1], error)) {
        std::fprintf(stderr, "listen_latency: %s\n", error.c_str());
        return 1;
    }
    initVideo(ShowWidth, ShowHeight, true);
    startShow(listeningScore());
    if (argc == 4) squeezeDrawing(true);
    TimedHost host(*capture);
    CueTimer timer(host);
    setTimelineObserver(&timer);
    ShowRun run;
    const double until = steadySeconds() + seconds;
    while (steadySeconds() < until && run.step(host)) {
    }
    setTimelineObserver(nullptr);
    stopShow();
    closeVideo();

    std::vector<double> capture_, lookAhead, frame, whole, spawn;
    for (const Chain& c : host.done) {
        capture_.push_back(1000 * c.capture);
        lookAhead.push_back(1000 * c.lookAhead);
        frame.push_back(1000 * c.frame);
        whole.push_back(1000 * c.whole());
    }
    // A spawn: the capture, half the analysis window, its frame and the next.
    const double frameMs = percentile(host.frameTimes, 0.5) * 1000;
    for (double c : capture_) spawn.push_back(c + 1000.0 * AnalysisSize / 2 / MusicSampleRate + 2 * frameMs);
    std::printf("%zu cues in %.0f s, %zu frames (median frame %.1f ms, p95 %.1f ms)\n", host.done.size(), seconds,
                host.frameTimes.size() + 1, frameMs, 1000 * percentile(host.frameTimes, 0.95));
    report("capture (server fragment + wait)", capture_);
    report("look-ahead (sound after the onset)", lookAhead);
    report("frame (read to swap)", frame);
    report("whole, a cue", whole);
    report("whole, a spectrum spawn (estimate)", spawn);
    return 0;
}
