// Frame times of the real show on a display, over the whole track, with an empty frame loop (clear
// and swap only) measured first in the same process as the ceiling. Run it in a directory holding the
// show's files, on an X display, with SDL_AUDIODRIVER=dummy (run_show_frame_times.sh does all that).
//   show_frame_times [seconds of empty loop, default 10]
#include <SDL_opengl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/music.h"
#include "main/show.h"
#include "timeline/active_fragments.h"
#include "utils/video.h"

namespace {
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// The live host, with the moment each frame was presented and the list length it showed.
class TimingHost : public ShowHost {
public:
    explicit TimingHost(Clock::time_point t0) : t0_(t0) {}
    std::vector<double> presented;   // seconds since t0, after each swap
    std::vector<size_t> listLength;  // live fragments drawn in that frame

    void fetchSpectrum() override { live_.fetchSpectrum(); }
    uint32_t musicPosition() override { return live_.musicPosition(); }
    uint32_t musicLength() override { return live_.musicLength(); }
    void endFrame() override
    {
        listLength.push_back(ActiveFragments.size());
        live_.endFrame();
        presented.push_back(secondsSince(t0_));
    }
    bool escapePressed() override { return live_.escapePressed(); }

private:
    LiveHost live_;
    Clock::time_point t0_;
};

double percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5));
    return v[i];
}

// Frame times (ms) between consecutive presentations.
std::vector<double> frameTimes(const std::vector<double>& presented)
{
    std::vector<double> ms;
    for (size_t i = 1; i < presented.size(); ++i) ms.push_back((presented[i] - presented[i - 1]) * 1000);
    return ms;
}

// The one-second window, ending at a presentation, with the fewest presentations in it.
void worstSecond(const std::vector<double>& presented, int& frames, double& endsAt)
{
    frames = -1;
    size_t first = 0;
    for (size_t i = 0; i < presented.size(); ++i) {
        if (presented[i] - presented[0] < 1.0) continue;
        while (presented[first] <= presented[i] - 1.0) ++first;
        const int n = int(i - first + 1);
        if (frames < 0 || n < frames) {
            frames = n;
            endsAt = presented[i];
        }
    }
}

void report(const char* what, const std::vector<double>& presented)
{
    const std::vector<double> ms = frameTimes(presented);
    if (ms.empty()) return;
    int worst = 0;
    double endsAt = 0;
    worstSecond(presented, worst, endsAt);
    const double span = presented.back() - presented.front();
    std::printf("%s: %zu frames over %.1f s, %.1f frames/s\n", what, ms.size(), span, double(ms.size()) / span);
    std::printf("  frame time ms: median %.2f, p95 %.2f, p99 %.2f, max %.2f\n", percentile(ms, 0.5),
                percentile(ms, 0.95), percentile(ms, 0.99), *std::max_element(ms.begin(), ms.end()));
    std::printf("  worst one-second window: %d frames (%.2f ms a frame), ending %.1f s in\n", worst, 1000.0 / worst,
                endsAt - presented.front());
}
}  // namespace

int main(int argc, char** argv)
{
    const double emptySeconds = argc > 1 ? std::atof(argv[1]) : 10;
    initVideo(ShowWidth, ShowHeight, true);
    startShow();

    // The ceiling: what the display costs with nothing drawn.
    const Clock::time_point t0 = Clock::now();
    std::vector<double> empty;
    while (secondsSince(t0) < emptySeconds) {
        glClear(GL_COLOR_BUFFER_BIT);
        endFrame();
        empty.push_back(secondsSince(t0));
    }

    initMusic(TrackFileName);
    TimingHost host(Clock::now());
    const LoopExit exit = runFrameLoop(host);
    closeMusic();
    closeVideo();

    report("empty loop (clear and swap)", empty);
    report(exit == LoopExit::ShowOver ? "show, whole track" : "show, stopped by Escape", host.presented);
    size_t busiest = 0;
    double mean = 0;
    for (size_t n : host.listLength) {
        busiest = std::max(busiest, n);
        mean += double(n);
    }
    std::printf("  live fragments per frame: mean %.1f, most %zu\n", mean / double(host.listLength.size()), busiest);

    // Frame time against the list length it drew, in bands.
    const std::vector<double> ms = frameTimes(host.presented);
    const size_t bands[] = {0, 10, 20, 30, 40, 1000};
    for (size_t b = 0; b + 1 < std::size(bands); ++b) {
        std::vector<double> in;
        for (size_t i = 0; i < ms.size(); ++i)
            if (host.listLength[i + 1] >= bands[b] && host.listLength[i + 1] < bands[b + 1]) in.push_back(ms[i]);
        if (!in.empty())
            std::printf("  %zu..%zu live: %zu frames, median %.2f ms, p95 %.2f ms\n", bands[b], bands[b + 1] - 1,
                        in.size(), percentile(in, 0.5), percentile(in, 0.95));
    }
    return 0;
}
