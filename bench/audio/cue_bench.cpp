// Cue finding measured: per track, the time to decode it whole (the show's MP3 decoder for the show's
// own track, libsndfile for any other) and to build the onset curve and pick the cues, per minute of
// music; the peak memory of the process; and, on the show's own track, the cues found against its
// built-in list (how many of the real cues have a found one within 30 and 60 ms, and how many found
// ones have no real cue within 60 ms); on any track, how the cues spread: the longest stretch
// without one, and the cues a minute in the quietest and loudest third of the track's seconds. The
// same track heard live (the live finder fed 10 ms at a time, as a sound server hands it over) beside
// it: its cues, their time a minute, how many fall within 60 ms of the file's, and the same spread.
//   cue_bench [--cues] TRACK...     the show's own track is recognised by its name, bass_300808.mp3
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "audio/cue_finder.h"
#include "audio/decoded_track.h"
#include "audio/listener_track.h"
#include "audio/live_cues.h"
#include "audio/music_errors.h"
#include "timeline/cue_times.h"

namespace {
double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakMemoryKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

double nearest(const std::vector<float>& list, double t)
{
    double best = 1e9;
    for (float x : list) best = std::min(best, std::fabs(double(x) - t));
    return best;
}

void spread(const char* whose, const OnsetCurve& curve, const std::vector<float>& cues)
{
    // Each whole second's mean energy, ranked into thirds.
    const size_t hopsPerSecond = size_t(44100 / OnsetHopSize);
    std::vector<double> level;
    for (size_t at = 0; at + hopsPerSecond <= curve.energy().size(); at += hopsPerSecond) {
        double sum = 0;
        for (size_t j = at; j < at + hopsPerSecond; ++j) sum += curve.energy()[j];
        level.push_back(sum);
    }
    if (level.size() < 3) return;
    std::vector<double> sorted = level;
    std::sort(sorted.begin(), sorted.end());
    const double low = sorted[sorted.size() / 3], high = sorted[2 * sorted.size() / 3];
    int quiet = 0, loud = 0;
    for (float t : cues) {
        const size_t second = std::min(level.size() - 1, size_t(t));
        quiet += level[second] < low;
        loud += level[second] >= high;
    }
    double gap = 0, from = 0;
    for (float t : cues) {
        gap = std::max(gap, double(t) - from);
        from = t;
    }
    gap = std::max(gap, double(curve.frames()) / 44100.0 - from);
    const double thirdMinutes = double(level.size()) / 3 / 60;
    std::printf("  %s: longest stretch without a cue %.1f s; cues a minute in the quietest third of its seconds %.1f, "
                "in the loudest %.1f\n",
                whose, gap, quiet / thirdMinutes, loud / thirdMinutes);
}

void againstBuiltIn(const std::vector<float>& found)
{
    std::vector<float> real;
    for (int i = 0; i < CueCount; ++i)
        if (real.empty() || real.back() != CueTimes[i]) real.push_back(CueTimes[i]);
    int within30 = 0, within60 = 0, falseOnes = 0;
    for (float t : real) {
        const double d = nearest(found, t);
        within30 += d <= 0.030;
        within60 += d <= 0.060;
    }
    for (float t : found) falseOnes += nearest(real, t) > 0.060;
    std::printf("  against the built-in list (%zu distinct times of %d cues): %d within 30 ms (%.1f %%), %d within 60 ms "
                "(%.1f %%); %d of %zu found have no real cue within 60 ms\n",
                real.size(), CueCount, within30, 100.0 * within30 / double(real.size()), within60,
                100.0 * within60 / double(real.size()), falseOnes, found.size());
}
}  // namespace

int main(int argc, char** argv)
{
    bool listCues = false;
    for (int a = 1; a < argc; ++a) {
        const std::string path = argv[a];
        if (path == "--cues") {
            listCues = true;
            continue;
        }
        const bool builtIn = path.size() >= 15 && path.compare(path.size() - 15, 15, "bass_300808.mp3") == 0;
        const auto start = std::chrono::steady_clock::now();
        DecodedTrack track;
        const int decoded = decodeTrack(path.c_str(), track, builtIn ? TrackFormat::ShowMp3 : TrackFormat::AnyFormat);
        const double decodeSeconds = secondsSince(start);
        if (decoded) {
            std::printf("%s: %s\n", path.c_str(), musicErrorText(decoded));
            continue;
        }
        const auto analysed = std::chrono::steady_clock::now();
        OnsetCurve curve;
        curve.add(track.samples.data(), size_t(track.frames()));
        std::vector<float> cues;
        const int result = cuesOfCurve(curve, cues);
        const double analyseSeconds = secondsSince(analysed);
        const double minutes = double(track.frames()) / 44100.0 / 60.0;
        std::printf("%s: %.1f s, decode %.3f s (%.3f s a minute), onsets and cues %.3f s (%.3f s a minute), %zu cues "
                    "(%.2f a second)%s, peak memory %.1f MB\n",
                    path.c_str(), minutes * 60, decodeSeconds, decodeSeconds / minutes, analyseSeconds,
                    analyseSeconds / minutes, cues.size(), cues.size() / (minutes * 60),
                    result ? " (silent)" : "", peakMemoryKb() / 1024.0);
        if (listCues) {
            for (float t : cues) std::printf("  %.4f\n", double(t));
        }
        spread("found", curve, cues);
        if (builtIn) {
            spread("the built-in list", curve, std::vector<float>(CueTimes, CueTimes + CueCount));
            againstBuiltIn(cues);
        }

        constexpr size_t Fragment = 441;   // 10 ms, a sound server's usual fragment
        const auto listened = std::chrono::steady_clock::now();
        LiveCueFinder live;
        std::vector<float> liveCues;
        for (size_t at = 0; at < track.frames(); at += Fragment) {
            live.add(track.samples.data() + 2 * at, std::min<size_t>(Fragment, size_t(track.frames()) - at));
            for (float t : live.takeCues()) liveCues.push_back(t);
        }
        const double listenSeconds = secondsSince(listened);
        int near = 0;
        for (float t : liveCues) near += nearest(cues, t) <= 0.060;
        std::printf("  heard live: %zu cues (%.2f a second), %.3f s a minute, %d of them within 60 ms of a cue found "
                    "in the file (%.1f %%), %zu values kept at the end\n",
                    liveCues.size(), liveCues.size() / (minutes * 60), listenSeconds / minutes, near,
                    liveCues.empty() ? 0.0 : 100.0 * near / double(liveCues.size()), live.keptValues());
        spread("found live", curve, liveCues);
        if (builtIn) againstBuiltIn(liveCues);
    }
    return 0;
}
