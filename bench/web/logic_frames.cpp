// The show's logic per frame without GL, over the whole track at 60 frames/s, built twice from this
// one file: natively and with emscripten (run under node), so the two figures compare like with like.
// Per frame: the spectrum of the decoded track at the frame's music position (what showcap and the
// page's stepped mode feed the show), then the cue scan, the sweep and the spectrum spawns. The sweep
// only releases expired fragments: drawing is GL, which node does not have, and which the page's
// frame rate measures on its own.
//   logic_frames TRACK.mp3 [passes, default 5] [window seconds, default 10]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/music.h"
#include "audio/music_errors.h"
#include "fragments/electro_points.h"
#include "timeline/show_state.h"
#include "main/show.h"
#include "timeline/active_fragments.h"
#include "timeline/cue_list.h"
#include "timeline/scene.h"
#include "timeline/spawner.h"
#include "utils/random.h"
#include "utils/video.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr int Fps = 60;
constexpr int ChunkFrames = Fps;   // timed together: one frame's logic is far below the clock's grain

uint32_t clockMs = 0;
uint32_t frameTicks() { return clockMs; }

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

uint32_t frameMs(long n) { return uint32_t(double(n) * 1000.0 / Fps + 0.5); }

void restart()
{
    clearShowState();
    buildCueList();
    setRandomState(SeededRandomState);
    ElectroPoints.assign(ElectroPointCount, Point2{512, 384});
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: logic_frames TRACK.mp3 [passes] [window seconds]\n");
        return 2;
    }
    const int passes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const int windowSeconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 10;
    setTickSource(&frameTicks);

    Clock::time_point t0 = Clock::now();
    DecodedTrack track;
    if (decodeTrack(argv[1], track) != MusicOk) {
        std::fprintf(stderr, "logic_frames: cannot decode %s\n", argv[1]);
        return 1;
    }
    const double decodeMs = msSince(t0);
    const long frames = long(double(track.lengthMs()) * Fps / 1000.0) + 1;

    // The spectra, once per pass; the last pass's are kept for the logic passes.
    SpectrumAnalyser analyser;
    std::vector<float> spectra(static_cast<size_t>(frames) * SpectrumSize);
    std::vector<double> spectrumPassMs;
    for (int p = 0; p < passes; ++p) {
        t0 = Clock::now();
        for (long n = 0; n < frames; ++n) spectrumAt(track, frameMs(n), analyser, &spectra[size_t(n) * SpectrumSize]);
        spectrumPassMs.push_back(msSince(t0));
    }

    const long chunks = (frames + ChunkFrames - 1) / ChunkFrames;
    std::vector<double> logicPassMs;
    std::vector<double> bestChunkMs(static_cast<size_t>(chunks), 1e30);   // each second's fastest pass: the least disturbed
    std::vector<size_t> liveAtEnd(static_cast<size_t>(frames));
    for (int p = 0; p < passes; ++p) {
        restart();
        double passMs = 0;
        for (long c = 0; c < chunks; ++c) {
            const long end = std::min(frames, (c + 1) * ChunkFrames);
            t0 = Clock::now();
            for (long n = c * ChunkFrames; n < end; ++n) {
                clockMs = frameMs(n);
                const float t = float(clockMs) / 1000.0f;
                dispatchCues(t, CueLifetime);
                expireFragments(demoTime());
                spawnFromSpectrum(t, &spectra[size_t(n) * SpectrumSize], ShowWidth, ShowHeight);
                liveAtEnd[size_t(n)] = ActiveFragments.size();
            }
            const double ms = msSince(t0);
            passMs += ms;
            bestChunkMs[size_t(c)] = std::min(bestChunkMs[size_t(c)], ms);
        }
        logicPassMs.push_back(passMs);
    }

    // The busiest window: the most live fragments per frame, which is what the frame's drawing follows.
    const long windowFrames = long(windowSeconds) * Fps;
    double bestMean = -1;
    long bestStart = 0;
    double sum = 0;
    for (long n = 0; n < frames; ++n) {
        sum += double(liveAtEnd[size_t(n)]);
        if (n >= windowFrames) sum -= double(liveAtEnd[size_t(n - windowFrames)]);
        if (n + 1 >= windowFrames && n % Fps == Fps - 1 && sum / double(windowFrames) > bestMean) {
            bestMean = sum / double(windowFrames);
            bestStart = n + 1 - windowFrames;
        }
    }
    size_t most = 0;
    double mean = 0;
    for (size_t n : liveAtEnd) {
        most = std::max(most, n);
        mean += double(n);
    }
    double worstChunk = 0;
    long worstAt = 0;
    for (long c = 0; c < chunks; ++c)
        if (bestChunkMs[size_t(c)] > worstChunk) worstChunk = bestChunkMs[size_t(c)], worstAt = c;

    std::printf("track %.1f s, %ld frames at %d frames/s, %d passes\n", track.lengthMs() / 1000.0, frames, Fps, passes);
    std::printf("decode whole track: %.1f ms\n", decodeMs);
    std::printf("spectrum per frame: median pass %.2f us, fastest pass %.2f us\n",
                median(spectrumPassMs) * 1000 / double(frames),
                *std::min_element(spectrumPassMs.begin(), spectrumPassMs.end()) * 1000 / double(frames));
    std::printf("logic per frame (cues, sweep, spawns): median pass %.3f us, fastest pass %.3f us\n",
                median(logicPassMs) * 1000 / double(frames),
                *std::min_element(logicPassMs.begin(), logicPassMs.end()) * 1000 / double(frames));
    std::printf("logic per frame, the slowest second (fastest of the passes): %.3f us, at %ld s\n",
                worstChunk * 1000 / ChunkFrames, worstAt);
    std::printf("live fragments at a frame's end: mean %.1f, most %zu\n", mean / double(frames), most);
    std::printf("busiest %d s window: %.0f-%.0f s, mean %.1f live\n", windowSeconds, double(bestStart) / Fps,
                double(bestStart + windowFrames) / Fps, bestMean);
    return 0;
}
