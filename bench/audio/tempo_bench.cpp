// The tempo finder measured: on made drum patterns of known tempo (each pattern from 80 to 190 BPM),
// the estimate, whether it is shown, and how far off; on tracks given by name, the estimate with its
// evidence, and the time the tempo takes per minute of music (the curve's tempo bands are built
// with the cues' curve, so that part is in cue_bench's curve time; this is the estimate itself).
//   tempo_bench --patterns        made patterns
//   tempo_bench TRACK...          any file the show plays (its decode and curve are not timed here)
//   tempo_bench --speed F ORIGINAL FASTER...   pairs of a track and the same sped up F times (pitch
//                                 and all): each pair's estimates must scale by F, or be withheld for
//                                 both (tempo_bench.sh makes the pairs from Debian's music packages)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/cue_finder.h"
#include "audio/decoded_track.h"
#include "audio/music_errors.h"
#include "audio/tempo.h"
#include "support/drum_pattern.h"

namespace {
double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TempoEstimate estimateOf(const char* fileName, OnsetCurve& curve, bool& ok)
{
    DecodedTrack track;
    ok = track.open(fileName, KeptChannels::First, TrackFormat::AnyFormat) == MusicOk;
    if (!ok) return {};
    while (!track.done()) {
        const DecodedSlice slice = track.decodeSome(65536);
        curve.add(slice.stereo, slice.frames);
    }
    return estimateTempo(curve);
}

const char* baseName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

void report(const char* name, const OnsetCurve& curve, double truth)
{
    const auto start = std::chrono::steady_clock::now();
    const TempoEstimate e = estimateTempo(curve);
    const double took = secondsSince(start);
    const double minutes = double(curve.frames()) / 44100 / 60;
    std::printf("%-36s", name);
    if (truth > 0) std::printf(" %6.1f", truth);
    std::printf(" %7.2f %-8s clarity %5.2f backbeat %5.2f lead %5.2f agree %4.2f  %5.1f ms/min", e.bpm,
                e.steady ? "shown" : "withheld", e.clarity, e.backbeat, e.lead, e.agreement, 1000 * took / minutes);
    if (truth > 0) std::printf("  %s", e.steady && std::lround(e.bpm) == std::lround(truth) ? "right" : "WRONG");
    std::printf("\n");
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tempo_bench --patterns | TRACK...\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--patterns") == 0) {
        std::printf("%-36s %6s %7s\n", "pattern", "true", "found");
        int right = 0, total = 0;
        for (const DrumPattern& p : DrumPatterns)
            for (double bpm : {80.0, 90.0, 100.0, 110.0, 120.0, 128.0, 140.0, 150.0, 160.0, 170.0, 172.0, 174.0, 176.0,
                               178.0, 180.0, 187.0, 190.0}) {
                OnsetCurve curve;
                const std::vector<float> stereo = playDrumPattern(p, bpm, 40, uint32_t(bpm));
                curve.add(stereo.data(), stereo.size() / 2);
                const TempoEstimate e = estimateTempo(curve);
                right += e.steady && std::lround(e.bpm) == std::lround(bpm);
                ++total;
                report((std::string(p.name) + " @ " + std::to_string(int(bpm))).c_str(), curve, bpm);
            }
        std::printf("right: %d of %d\n", right, total);
        return 0;
    }
    if (std::strcmp(argv[1], "--speed") == 0 && argc >= 5) {
        const double factor = std::atof(argv[2]);
        int scales = 0, withheld = 0, differ = 0;
        for (int i = 3; i + 1 < argc; i += 2) {
            bool okA = false, okB = false;
            OnsetCurve a, b;
            const TempoEstimate ea = estimateOf(argv[i], a, okA), eb = estimateOf(argv[i + 1], b, okB);
            if (!okA || !okB) {
                std::printf("%s: can't read the pair\n", baseName(argv[i]));
                continue;
            }
            const char* verdict = "DIFFERS";
            if (ea.steady && eb.steady && std::fabs(eb.bpm / ea.bpm / factor - 1) < 0.005) verdict = "scales", ++scales;
            else if (!ea.steady && !eb.steady) verdict = "withheld for both", ++withheld;
            else ++differ;
            std::printf("%-28s %7.2f %-8s  x%.2f: %7.2f %-8s  ratio %.4f  %s\n", baseName(argv[i]), ea.bpm,
                        ea.steady ? "shown" : "withheld", factor, eb.bpm, eb.steady ? "shown" : "withheld", eb.bpm / ea.bpm,
                        verdict);
        }
        std::printf("pairs: %d scale by %.2f, %d withheld for both, %d differ\n", scales, factor, withheld, differ);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        DecodedTrack track;
        if (const int result = track.open(argv[i], KeptChannels::First, TrackFormat::AnyFormat)) {
            std::printf("%s: %s\n", argv[i], musicErrorText(result));
            continue;
        }
        OnsetCurve curve;
        while (!track.done()) {
            const DecodedSlice slice = track.decodeSome(65536);
            curve.add(slice.stereo, slice.frames);
        }
        const char* slash = std::strrchr(argv[i], '/');
        report(slash ? slash + 1 : argv[i], curve, 0);
    }
    return 0;
}
