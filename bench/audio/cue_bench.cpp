// Cue finding measured: per track, the time to decode it whole (the show's MP3 decoder for the show's
// own track, libsndfile for any other) and to build the onset curve and pick the cues, per minute of
// music; the peak memory of the process; and, on the show's own track, the cues found against its
// built-in list (how many of the real cues have a found one within 30 and 60 ms, and how many found
// ones have no real cue within 60 ms).
//   cue_bench [--cues] TRACK...     the show's own track is recognised by its name, bass_300808.mp3
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
        if (builtIn) againstBuiltIn(cues);
    }
    return 0;
}
