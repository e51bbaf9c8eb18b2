// The desktop show's frame rate over one passage of the track: the real show (start-up, music, frame
// loop) from the start, each frame's presentation noted with the music position it showed, stopped
// a second after the passage ends. The browser's figure for the same passage comes from
// web_bench.mjs; run_web_bench.sh runs both, one after the other, and
// run_resolution_frames.sh runs it at several screen sizes; run_listen_frames.sh on a listener's track.
//   passage_frames FROM_S TO_S [TRACK [--strength]]   (in a directory holding the show's files, on an
//                                 X display, SDL_AUDIODRIVER=dummy)
// TRACK: a listener's track instead of the show's own; --strength gives its rules the built-in
// strength test instead of listening to their bands, as they had it before.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <string>

#include "audio/music.h"
#include "main/listener_show.h"
#include "main/show.h"
#include "timeline/active_fragments.h"
#include "utils/video.h"

namespace {
using Clock = std::chrono::steady_clock;

class PassageHost : public ShowHost {
public:
    PassageHost(uint32_t stopAfterMs) : stopAfterMs_(stopAfterMs), t0_(Clock::now()) {}
    std::vector<double> presentedMs;   // since the first frame's start
    std::vector<uint32_t> positionMs;  // the music position that frame showed
    std::vector<size_t> live;

    void fetchSpectrum() override
    {
        live_.fetchSpectrum();
        shown_ = live_.musicPosition();
    }
    uint32_t musicPosition() override { return live_.musicPosition(); }
    uint32_t musicLength() override { return live_.musicLength(); }
    void endFrame() override
    {
        live.push_back(ActiveFragments.size());
        live_.endFrame();
        presentedMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0_).count());
        positionMs.push_back(shown_);
    }
    bool escapePressed() override { return shown_ > stopAfterMs_ || live_.escapePressed(); }

private:
    LiveHost live_;
    uint32_t stopAfterMs_;
    uint32_t shown_ = 0;
    Clock::time_point t0_;
};

double percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (argc == 5 && std::string(argv[4]) != "--strength") || argc > 5) {
        std::fprintf(stderr, "usage: passage_frames FROM_S TO_S [TRACK [--strength]]\n");
        return 2;
    }
    const uint32_t fromMs = uint32_t(std::atof(argv[1]) * 1000), toMs = uint32_t(std::atof(argv[2]) * 1000);
    ShowScore score = builtInScore();
    if (argc >= 4) {
        std::string message;
        if (readListenerShow("passage_frames", argv[3], nullptr, score, message)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
        score.gates.listening = argc < 5;
    }
    initVideo(ShowWidth, ShowHeight, true);
    startShow(score);
    if (argc >= 4) initMusic(argv[3], TrackFormat::AnyFormat);
    else initMusic(TrackFileName);
    PassageHost host(toMs + 1000);
    runFrameLoop(host);
    closeMusic();
    closeVideo();

    // The frames that showed a position inside the passage; each one's time is the gap since the
    // presentation before it.
    std::vector<double> at, ms;
    double liveSum = 0;
    for (size_t i = 1; i < host.presentedMs.size(); ++i) {
        if (host.positionMs[i] < fromMs || host.positionMs[i] > toMs) continue;
        at.push_back(host.presentedMs[i]);
        ms.push_back(host.presentedMs[i] - host.presentedMs[i - 1]);
        liveSum += double(host.live[i]);
    }
    if (ms.size() < 2) {
        std::fprintf(stderr, "passage_frames: no frames in the passage\n");
        return 1;
    }
    int worst = -1;
    size_t first = 0;
    for (size_t i = 0; i < at.size(); ++i) {
        if (at[i] - at[0] < 1000) continue;
        while (at[first] <= at[i] - 1000) ++first;
        if (worst < 0 || int(i - first + 1) < worst) worst = int(i - first + 1);
    }
    const double span = (at.back() - at.front()) / 1000;
    std::printf("desktop passage %.1f-%.1f s: %zu frames over %.2f s, %.1f frames/s\n", fromMs / 1000.0,
                toMs / 1000.0, ms.size(), span, double(ms.size() - 1) / span);
    std::printf("  frame time ms: median %.2f, p95 %.2f, p99 %.2f, max %.2f; worst one-second window %d frames\n",
                percentile(ms, 0.5), percentile(ms, 0.95), percentile(ms, 0.99),
                *std::max_element(ms.begin(), ms.end()), worst);
    std::printf("  live fragments per frame: mean %.1f\n", liveSum / double(ms.size()));
    return 0;
}
