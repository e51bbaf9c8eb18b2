// track_form: measures a track's musical form, and with a capture's event log how the show's effects
// follow it, and prints the figures against the targets the re-arranged track aims for.
//   track_form --track FILE.mp3|FILE.wav [--events LOG.jsonl] [--png OUT.png]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/decoded_track.h"
#include "event_lines.h"
#include "audio/music_errors.h"
#include "audio_form.h"
#include "effects.h"
#include "form_plot.h"
#include "onsets.h"
#include "timeline/cue_times.h"

namespace {

// The places where the cue list itself changes character: the music should change audibly there too.
struct CueChange {
    int cue;            // 1-based number in CueTimes
    const char* what;
};
constexpr CueChange CueChanges[] = {
    {1, "first cue"},      {3, "a gap starts"},  {4, "the gap ends"},          {10, "dense run"},
    {15, "its end"},       {18, "dense run"},    {49, "its end"},              {50, "regular one-bar grid"},
    {62, "its end"},       {91, "a gap starts"}, {92, "it ends"},              {95, "the finale"},
    {102, "the last cues"},
};
constexpr int CueChangeCount = 13;
static_assert(sizeof(CueChanges) / sizeof(CueChanges[0]) == CueChangeCount, "every cue-list change is listed");

constexpr double TwoBars = 2 * 4 * 60.0 / 187;   // seconds at 187 BPM
constexpr double OnsetTolerance = 0.015;         // seconds
constexpr double SpreadFrom = 25, SpreadTo = 145;   // music seconds over which spawns are counted per 8 bars

// --- Reading

struct Track {
    std::vector<float> samples;
    int channels = 2;
    int rate = 44100;

    AudioView view() const { return {samples.data(), samples.size() / size_t(channels), channels, rate}; }
};

uint32_t le(const unsigned char* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// 16-bit PCM or 32-bit float WAV, one or two channels.
Track readWav(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "WAVE", 4))
        throw std::runtime_error(path + " is not a WAV file");
    Track t;
    int format = 0, bits = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const size_t size = le(&bytes[at + 4], 4), body = at + 8;
        if (body + size > bytes.size()) break;
        if (!std::memcmp(&bytes[at], "fmt ", 4) && size >= 16) {
            format = int(le(&bytes[body], 2));
            t.channels = int(le(&bytes[body + 2], 2));
            t.rate = int(le(&bytes[body + 4], 4));
            bits = int(le(&bytes[body + 14], 2));
            if (format == 0xFFFE && size >= 26) format = int(le(&bytes[body + 24], 2));   // extensible
        } else if (!std::memcmp(&bytes[at], "data", 4)) {
            if (format == 1 && bits == 16) {
                for (size_t i = 0; i + 1 < size; i += 2) t.samples.push_back(float(int16_t(le(&bytes[body + i], 2))) / 32768.0f);
            } else if (format == 3 && bits == 32) {
                for (size_t i = 0; i + 3 < size; i += 4) {
                    const uint32_t u = le(&bytes[body + i], 4);
                    float f;
                    std::memcpy(&f, &u, 4);
                    t.samples.push_back(f);
                }
            } else {
                throw std::runtime_error(path + ": only 16-bit PCM and 32-bit float WAV are read");
            }
        }
        at = body + size + (size & 1);
    }
    if (t.channels < 1 || t.channels > 2 || t.samples.empty()) throw std::runtime_error(path + ": no one- or two-channel audio");
    t.samples.resize(t.samples.size() - t.samples.size() % size_t(t.channels));
    return t;
}

Track readTrack(const std::string& path)
{
    if (path.size() > 4 && (path.compare(path.size() - 4, 4, ".wav") == 0 || path.compare(path.size() - 4, 4, ".WAV") == 0))
        return readWav(path);
    DecodedTrack decoded;
    if (const int error = decodeTrack(path.c_str(), decoded)) throw std::runtime_error(path + ": " + musicErrorText(error));
    Track t;
    t.samples = std::move(decoded.samples);
    t.channels = MusicChannels;
    t.rate = MusicSampleRate;
    return t;
}

struct ShowLog {
    std::vector<EffectSpawn> spawns;     // in creation order
    std::map<long, std::pair<double, double>> frames;   // frame -> music time, demo time
    long lastCueFrame = -1;
    double fps = 60;
};

ShowLog readEventLog(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw std::runtime_error("can't read " + path);
    ShowLog log;
    struct Pending {
        EffectKind kind;
        long frame;
        double start, lifetime;
    };
    std::vector<Pending> pending;
    constexpr std::pair<const char*, EffectKind> Kinds[] = {{"\"TexFrag\"", EffectKind::Typography},
                                                            {"\"CircleGridFrag\"", EffectKind::Grid},
                                                            {"\"ElectroFrag\"", EffectKind::Spark},
                                                            {"\"BezierFrag\"", EffectKind::Stroke}};
    for (std::string line; std::getline(in, line);) {
        const char* event = eventField(line, "event");
        if (!event) continue;
        if (!std::strncmp(event, "\"frame\"", 7)) {
            log.frames[long(eventNumber(line, "frame"))] = {eventNumber(line, "musicTime"), eventNumber(line, "demoTime")};
        } else if (!std::strncmp(event, "\"cue\"", 5)) {
            log.lastCueFrame = std::max(log.lastCueFrame, long(eventNumber(line, "frame")));
        } else if (!std::strncmp(event, "\"fragment\"", 10)) {
            const char* kind = eventField(line, "kind");
            for (const auto& k : Kinds)
                if (kind && !std::strncmp(kind, k.first, std::strlen(k.first)))
                    pending.push_back({k.second, long(eventNumber(line, "frame")), eventNumber(line, "start"), eventNumber(line, "lifetime")});
        }
    }
    if (log.frames.size() < 2) throw std::runtime_error(path + " has no frames");
    for (const Pending& p : pending) {
        const auto f = log.frames.find(p.frame);
        if (f == log.frames.end()) throw std::runtime_error(path + ": a fragment of a frame the log does not list");
        log.spawns.push_back({p.kind, f->second.first, p.start, p.lifetime});
    }
    const auto first = log.frames.begin(), last = std::prev(log.frames.end());
    log.fps = double(last->first - first->first) / (last->second.second - first->second.second);
    return log;
}

// --- Report

struct Target {
    std::string measure, value, target;
    bool met;
};

std::string fmt(const char* format, double a, double b = 0, double c = 0)
{
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<double> distinctCueTimes()
{
    std::vector<double> cues;
    for (float t : CueTimes)
        if (cues.empty() || double(t) - cues.back() > 0.001) cues.push_back(double(t));
    return cues;
}

// Lists print five items a line.
const char* lineBreak(int itemsBefore) { return itemsBefore > 0 && itemsBefore % 5 == 0 ? "\n   " : ""; }

// Runs of consecutive audible moments, as from-to, so the list stays readable.
void printAudibleRuns(const ChangeCurve& c)
{
    std::printf("  audible-change runs (from-to s, largest dL LU / dS dB in the run):\n   ");
    int printed = 0;
    for (size_t i = 0; i < c.audible.size();) {
        if (!c.audible[i]) {
            ++i;
            continue;
        }
        size_t j = i;
        double dl = 0, ds = 0;
        for (; j < c.audible.size() && c.audible[j]; ++j) dl = std::max(dl, c.level[j]), ds = std::max(ds, c.shape[j]);
        std::printf("%s %.1f-%.1f (%.1f/%.1f)", lineBreak(printed++), c.time(i), c.time(j - 1), dl, ds);
        i = j;
    }
    std::printf("\n");
}

using Targets = std::vector<Target>;

void reportLoudness(const LoudnessCurves& loudness, Targets& targets)
{
    std::printf("\n1. Loudness (libebur128)\n  integrated %.1f LUFS, loudness range (LRA) %.1f LU\n", loudness.integrated,
                loudness.range);
    std::printf("  short-term loudness (3 s ending at the time), every 10 s:\n   ");
    for (size_t i = 0; i < loudness.shortTerm.size(); i += 100)
        std::printf(" %3.0f s %5.1f%s", double(i) * loudness.step, loudness.shortTerm[i], (i / 100) % 7 == 6 ? "\n   " : "");
    std::printf("\n");
    targets.push_back({"loudness range (LRA)", fmt("%.1f LU", loudness.range), ">= 6.8 LU", loudness.range >= 6.8});
}

void reportChanges(const ChangeCurve& changes, double T, Targets& targets)
{
    const std::vector<double> moments = audibleMoments(changes);
    const Stretch calm = longestUnchanged(moments, T);
    std::printf("\n2. Audible changes (6 s after against 6 s before, every 0.1 s from 6 s to %.1f s;\n"
                "   audible when dL >= 3 LU or dS >= 4 dB)\n  %zu audible moments of %zu\n",
                T - ChangeWindow, moments.size(), changes.audible.size());
    printAudibleRuns(changes);
    std::printf("  longest stretch without an audible change: %.1f-%.1f s, %.1f s = %.0f %% of the track\n", calm.from,
                calm.to, calm.length(), 100 * calm.length() / T);
    const ChangePeak inside = largestInside(changes, calm);
    std::printf("  largest dS inside it %.2f dB, largest dL %.2f LU\n", inside.shape, inside.level);
    // For comparison: each run taken as one change, placed where it is strongest.
    const std::vector<double> places = strongestOfRuns(changes);
    const Stretch between = longestUnchanged(places, T);
    std::printf("  each run as one change at its strongest moment:");
    for (double p : places) std::printf(" %.1f", p);
    std::printf(" s;\n  longest between those: %.1f-%.1f s, %.1f s = %.0f %%\n", between.from, between.to, between.length(),
                100 * between.length() / T);
    targets.push_back({"longest stretch without audible change", fmt("%.0f %% (%.1f s)", 100 * calm.length() / T, calm.length()),
                       "<= 40 %", calm.length() <= 0.4 * T});
}

std::vector<Stretch> reportSections(const AudioView& audio, const OctaveFrames& frames, const LoudnessCurves& loudness,
                                    const ChangeCurve& changes, Targets& targets)
{
    const double T = audio.seconds();
    const std::vector<double> novelty = noveltyCurve(formFeatures(frames, loudness, T));
    const std::vector<Stretch> sections = sectionsFrom(noveltyBoundaries(novelty), T);
    std::printf("\n3. Sections (novelty: 0.5 s features, +-4 s Gaussian checkerboard, peaks over +-4 s above the\n"
                "   median within +-8 s plus %.2f)\n  novelty peaks (s: novelty / threshold, * a boundary):\n   ",
                ThresholdOffset);
    int peakCount = 0;
    for (const NoveltyPeak& p : noveltyPeaks(novelty))
        std::printf("%s %.1f: %.3f/%.3f%s", lineBreak(peakCount++), p.time, p.novelty, p.threshold, p.boundary() ? "*" : "");
    std::printf("\n   #   start     end  length  share  loudness  largest 6-s move inside (sections > 30 s)\n");
    std::vector<double> sectionLoudness, steps;
    double longest = 0;
    std::string moves;   // the largest 6-s move in each section over 30 s
    bool movesMet = true;
    for (size_t i = 0; i < sections.size(); ++i) {
        const Stretch& s = sections[i];
        sectionLoudness.push_back(integratedLoudness(audio, s.from, s.to));
        longest = std::max(longest, s.length());
        std::printf("  %2zu %7.1f %7.1f %7.1f %5.0f %% %6.1f LUFS", i + 1, s.from, s.to, s.length(), 100 * s.length() / T,
                    sectionLoudness.back());
        if (s.length() > 30) {
            const double move = largestLevelMoveInside(changes, s);
            moves += (moves.empty() ? "" : ", ") + fmt("%.1f", move);
            movesMet = movesMet && move >= 2;
            std::printf("  %.1f LU", move);
        }
        std::printf("\n");
        if (i > 0) steps.push_back(std::fabs(sectionLoudness[i] - sectionLoudness[i - 1]));
    }
    const double perMinute = double(sections.size()) / (T / 60);
    std::printf("  %zu sections, %.2f per minute; longest %.1f s = %.0f %% of the track\n", sections.size(), perMinute,
                longest, 100 * longest / T);
    if (!steps.empty())
        std::printf("  loudness steps between adjacent sections: min %.1f, median %.1f, max %.1f LU\n",
                    *std::min_element(steps.begin(), steps.end()), median(steps), *std::max_element(steps.begin(), steps.end()));
    targets.push_back({"longest section", fmt("%.0f %%", 100 * longest / T), "<= 40 %", longest <= 0.4 * T});
    targets.push_back({"largest 6-s loudness move in each section > 30 s", moves.empty() ? "none so long" : moves + " LU",
                       ">= 2 LU each", movesMet});
    targets.push_back({"adjacent-section loudness step (median)", steps.empty() ? "one section" : fmt("%.1f LU", median(steps)),
                       ">= 3.9 LU", !steps.empty() && median(steps) >= 3.9});
    targets.push_back({"sections per minute", fmt("%.2f", perMinute), "1.5 .. 2.8", perMinute >= 1.5 && perMinute <= 2.8});
    return sections;
}

void reportCueChanges(const std::vector<double>& moments, Targets& targets)
{
    std::printf("\n4. Cue-list changes: an audible change within two bars (%.2f s)?\n", TwoBars);
    int heard = 0;
    for (const CueChange& c : CueChanges) {
        const double t = double(CueTimes[c.cue - 1]);
        double nearest = INFINITY;
        for (double m : moments) nearest = std::min(nearest, std::fabs(m - t));
        heard += nearest <= TwoBars;
        std::printf("  cue %3d %7.1f s  %-22s nearest audible change %s  %s\n", c.cue, t, c.what,
                    std::isfinite(nearest) ? fmt("%5.1f s away", nearest).c_str() : "    none    ",
                    nearest <= TwoBars ? "yes" : "no");
    }
    std::printf("  %d of %d\n", heard, CueChangeCount);
    targets.push_back({"cue-list changes with an audible change within two bars", fmt("%.0f of 13", heard), ">= 9 of 13",
                       heard >= 9});
}

void reportOnsets(const AudioView& audio, Targets& targets)
{
    const std::vector<double> onsets = detectOnsets(audio);
    const std::vector<double> cues = distinctCueTimes();
    const std::vector<double> distance = nearestOnsetDistances(onsets, cues);
    const double within = double(std::count_if(distance.begin(), distance.end(), [](double d) { return d <= OnsetTolerance; })) /
                          double(distance.size());
    const double medianMs = 1000 * median(distance);
    std::printf("\n5. Onsets (spectral flux, %d-sample frames every %d samples)\n  %zu onsets, %.1f a second\n", OnsetFrame,
                OnsetHop, onsets.size(), double(onsets.size()) / audio.seconds());
    std::printf("  %zu distinct cue times: %.1f %% have an onset within 15 ms; median distance %.1f ms\n", cues.size(),
                100 * within, medianMs);
    std::printf("  cues farther than 15 ms:");
    for (size_t i = 0; i < cues.size(); ++i)
        if (distance[i] > OnsetTolerance) std::printf(" %.2f s (%.0f ms)", cues[i], 1000 * distance[i]);
    std::printf("\n");
    targets.push_back({"cues with an onset within 15 ms", fmt("%.1f %%", 100 * within), ">= 90 %", within >= 0.9});
    targets.push_back({"median cue-to-onset distance", fmt("%.1f ms", medianMs), "<= 3 ms", medianMs <= 3});
}

void reportEffects(const std::string& eventsPath, double T, Targets& targets)
{
    const ShowLog log = readEventLog(eventsPath);
    std::printf("\n6. Effects (%s, %.0f frames/s)\n", eventsPath.c_str(), log.fps);
    const auto first = std::min_element(log.spawns.begin(), log.spawns.end(),
                                        [](const EffectSpawn& a, const EffectSpawn& b) { return a.musicTime < b.musicTime; });
    const double firstEffect = first == log.spawns.end() ? T : first->musicTime;
    std::printf("  first effect at %.2f s of music\n", firstEffect);
    targets.push_back({"first effect", fmt("%.2f s", firstEffect), "<= 2 s", firstEffect <= 2});

    const std::vector<int> perWindow = spectrumSpawnsPerWindow(log.spawns, SpreadFrom, SpreadTo);
    std::printf("  grids + sparks + strokes per 8 bars (%.2f s) from %.0f s, whole windows up to %.0f s:\n   ", EightBars,
                SpreadFrom, SpreadTo);
    for (size_t i = 0; i < perWindow.size(); ++i) std::printf(" %.0f:%d", SpreadFrom + double(i) * EightBars, perWindow[i]);
    if (!perWindow.empty()) {
        const int busiest = *std::max_element(perWindow.begin(), perWindow.end());
        const int calmest = *std::min_element(perWindow.begin(), perWindow.end());
        const double ratio = calmest > 0 ? double(busiest) / calmest : INFINITY;
        std::printf("\n  busiest %d, calmest %d: %.2f x\n", busiest, calmest, ratio);
        targets.push_back({"per-8-bar spawns, busiest / calmest", fmt("%.2f x", ratio), ">= 3 x", ratio >= 3});
    }

    constexpr std::pair<EffectKind, const char*> Limited[] = {
        {EffectKind::Grid, "grids"}, {EffectKind::Spark, "sparks"}, {EffectKind::Stroke, "strokes"}};
    std::printf("  spawns that came as soon as the rate limit allowed (gap <= limit + one frame):\n");
    for (const auto& k : Limited) {
        const LimitShare s = rateLimitShare(log.spawns, k.first, log.fps);
        std::printf("    %-7s limit %.1f s: %d of %d, %.0f %%\n", k.second, rateLimit(k.first), s.atLimit, s.spawns,
                    100 * s.share());
        targets.push_back({std::string("rate-limit share, ") + k.second, fmt("%.0f %%", 100 * s.share()), "<= 50 %",
                           s.share() <= 0.5});
    }

    // From the first effect to the frame that fired the last cue, on the show's clock.
    const auto cueFrame = log.frames.find(log.lastCueFrame);
    if (first != log.spawns.end() && cueFrame != log.frames.end()) {
        const Gap gap = longestNothingAlive(log.spawns, first->start, cueFrame->second.second);
        if (gap.length() > 0)
            std::printf("  longest stretch with nothing alive between the first effect and the last cue: %.2f s "
                        "(show clock %.2f-%.2f s)\n", gap.length(), gap.from, gap.to);
        else
            std::printf("  from the first effect to the last cue, something is alive at every moment\n");
        targets.push_back({"longest stretch with nothing alive", fmt("%.2f s", gap.length()), "<= 4 s", gap.length() <= 4});
    }
    const std::array<int, EffectKinds> total = countByKind(log.spawns);
    std::printf("  totals: typography %d, grids %d, sparks %d, strokes %d\n", total[0], total[1], total[2], total[3]);
}

void drawPicture(const std::string& path, const LoudnessCurves& loudness, double T, const std::vector<Stretch>& sections,
                 const std::vector<double>& moments)
{
    FormPicture picture;
    picture.seconds = T;
    picture.step = loudness.step;
    picture.shortTerm = loudness.shortTerm;
    picture.cues = distinctCueTimes();
    for (const CueChange& c : CueChanges) {
        picture.changeCues.push_back(double(CueTimes[c.cue - 1]));
        picture.changeNumbers.push_back(c.cue);
    }
    picture.sections = sections;
    picture.audibleMoments = moments;
    writeFormPicture(path, picture);
    std::printf("\n7. Picture: %s\n", path.c_str());
}

void printTargets(const Targets& targets)
{
    size_t w1 = 7, w2 = 5, w3 = 6;   // at least the headings
    for (const Target& t : targets)
        w1 = std::max(w1, t.measure.size()), w2 = std::max(w2, t.value.size()), w3 = std::max(w3, t.target.size());
    std::printf("\n8. Targets\n  %-*s | %-*s | %-*s | met?\n", int(w1), "measure", int(w2), "value", int(w3), "target");
    int met = 0;
    for (const Target& t : targets) {
        std::printf("  %-*s | %-*s | %-*s | %s\n", int(w1), t.measure.c_str(), int(w2), t.value.c_str(), int(w3),
                    t.target.c_str(), t.met ? "yes" : "no");
        met += t.met;
    }
    std::printf("  %d of %zu met\n", met, targets.size());
}

int run(const std::string& trackPath, const std::string& eventsPath, const std::string& pngPath)
{
    const Track track = readTrack(trackPath);
    const AudioView audio = track.view();
    const double T = audio.seconds();
    std::printf("Form of %s: %.1f s, %d Hz, %d channel%s\n", trackPath.c_str(), T, audio.rate, audio.channels,
                audio.channels > 1 ? "s" : "");
    Targets targets;
    const LoudnessCurves loudness = measureLoudness(audio);
    reportLoudness(loudness, targets);
    const OctaveFrames frames = octaveFrames(audio);
    const ChangeCurve changes = measureChanges(loudness, frames, T);
    reportChanges(changes, T, targets);
    const std::vector<Stretch> sections = reportSections(audio, frames, loudness, changes, targets);
    reportCueChanges(audibleMoments(changes), targets);
    reportOnsets(audio, targets);
    if (!eventsPath.empty()) reportEffects(eventsPath, T, targets);
    if (!pngPath.empty()) drawPicture(pngPath, loudness, T, sections, audibleMoments(changes));
    printTargets(targets);
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: track_form --track FILE.mp3|FILE.wav [--events LOG.jsonl] [--png OUT.png]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string trackPath, eventsPath, pngPath;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return usage();
        if (a == "--track") trackPath = argv[++i];
        else if (a == "--events") eventsPath = argv[++i];
        else if (a == "--png") pngPath = argv[++i];
        else return usage();
    }
    if (trackPath.empty()) return usage();
    try {
        return run(trackPath, eventsPath, pngPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "track_form: %s\n", e.what());
        return 1;
    }
}
