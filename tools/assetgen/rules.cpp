// The measurement uses the show's own SpectrumAnalyser, so it sees exactly the numbers the show sees.
#include "rules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/analyser.h"

std::vector<double> evenEdges(double duration, double step)
{
    std::vector<double> edges;
    for (int i = 0; i * step < duration; ++i) edges.push_back(i * step);
    edges.push_back(duration);
    return edges;
}

std::vector<RuleWindow> measureRules(const float* left, size_t count, const std::vector<double>& edges, double fps)
{
    std::vector<RuleWindow> windows;
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
        RuleWindow w;
        w.from = edges[i];
        w.to = edges[i + 1];
        windows.push_back(w);
    }
    if (windows.empty()) return windows;
    const double duration = double(count) / AnalysisSampleRate;
    SpectrumAnalyser analyser;
    float block[AnalysisSize], spectrum[AnalysisBins];
    // Rate limits start as the show's do: the last spawn of each kind at time 0.
    double lastGrid = 0, lastFlash = 0, lastStroke = 0;
    for (long frame = 0;; ++frame) {
        const double t = double(frame) / fps;
        if (t >= duration || t >= edges.back()) break;
        if (t < edges.front()) continue;
        const long end = std::lround(t * AnalysisSampleRate);
        for (int i = 0; i < AnalysisSize; ++i) {
            const long at = end - AnalysisSize + i;
            block[i] = at >= 0 && size_t(at) < count ? left[at] : 0.0f;
        }
        analyser.analyse(block, spectrum);
        float peak = 0;
        for (int k = 0; k < 128; ++k) peak = std::max(peak, spectrum[k]);
        size_t wi = 0;
        while (wi + 1 < windows.size() && t >= windows[wi].to) ++wi;
        RuleWindow& w = windows[wi];
        ++w.frames;
        if (peak <= 0) continue;   // silence: the show's quotient is undefined and nothing fires
        const double s2 = double(spectrum[2]) / peak * 256, s4 = double(spectrum[4]) / peak * 256;
        const double s6 = double(spectrum[6]) / peak * 256;
        if (t > GridAfter && s2 > GridThreshold) {
            ++w.gridFrames;
            if (t - lastGrid > GridGap) ++w.grids, lastGrid = t;
        }
        if (s4 > FlashThreshold) {
            ++w.flashFrames;
            if (t - lastFlash > FlashGap) ++w.flashes, lastFlash = t;
        }
        if (t > StrokeAfter && s6 > StrokeThreshold) {
            ++w.strokeFrames;
            if (t - lastStroke > StrokeGap) ++w.strokes, lastStroke = t;
        }
    }
    return windows;
}

std::string formatRuleReport(const std::vector<RuleWindow>& windows)
{
    std::string out = "  window s    frames |  grid frames/spawns | flash frames/spawns | stroke frames/spawns\n";
    RuleWindow total;
    char line[160];
    for (const RuleWindow& w : windows) {
        std::snprintf(line, sizeof line, "%6.0f-%-4.0f %6d | %11d %6d | %11d %6d | %12d %6d\n", w.from, w.to, w.frames,
                      w.gridFrames, w.grids, w.flashFrames, w.flashes, w.strokeFrames, w.strokes);
        out += line;
        total.frames += w.frames;
        total.gridFrames += w.gridFrames, total.grids += w.grids;
        total.flashFrames += w.flashFrames, total.flashes += w.flashes;
        total.strokeFrames += w.strokeFrames, total.strokes += w.strokes;
    }
    std::snprintf(line, sizeof line, "%-11s %6d | %11d %6d | %11d %6d | %12d %6d\n", "  total", total.frames,
                  total.gridFrames, total.grids, total.flashFrames, total.flashes, total.strokeFrames, total.strokes);
    out += line;
    return out;
}

std::vector<double> cueOnsetRatios(const float* left, size_t count, const std::vector<double>& cueTimes)
{
    const long span = long(0.03 * AnalysisSampleRate);
    // Encoders smear a hit a few milliseconds early; the "before" window stops short of that.
    const long guard = long(0.005 * AnalysisSampleRate);
    auto rms = [&](long from) {
        double sum = 0;
        // The first difference weighs highs over lows: cymbals and stabs count, the bass's swell does not.
        for (long i = from; i < from + span; ++i)
            if (i >= 1 && size_t(i) < count) sum += double(left[i] - left[i - 1]) * (left[i] - left[i - 1]);
        return std::sqrt(sum / double(span));
    };
    std::vector<double> ratios;
    for (double t : cueTimes) {
        const long at = std::lround(t * AnalysisSampleRate);
        ratios.push_back(rms(at) / std::max(1e-9, rms(at - guard - span)));
    }
    return ratios;
}
