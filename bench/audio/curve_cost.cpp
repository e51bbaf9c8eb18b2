// The onset curve's cost per minute of music, as a program of its own: built against the cue finder
// of this tree, or of the commit before the curve kept the tempo's bands (tempo_cost.sh builds both),
// so the difference is what the tempo adds to reading a track. Reads 44.1 kHz interleaved stereo
// floats from standard input (ffmpeg -f f32le), builds the curve five times, prints the fastest.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "audio/cue_finder.h"

int main()
{
    std::vector<float> stereo;
    float buffer[8192];
    for (size_t n; (n = std::fread(buffer, sizeof(float), 8192, stdin)) > 0;) stereo.insert(stereo.end(), buffer, buffer + n);
    const double minutes = double(stereo.size() / 2) / 44100 / 60;
    double best = 1e9;
    size_t hops = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        OnsetCurve curve;
        curve.add(stereo.data(), stereo.size() / 2);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        hops = curve.flux().size();
    }
    std::printf("%.1f min of music, %zu hops: the curve in %.1f ms a minute (fastest of 5)\n", minutes, hops,
                1000 * best / minutes);
    return 0;
}
