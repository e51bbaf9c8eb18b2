// How the spectrum-spawned effects of one capture follow its track: one table row of figures from the
// track and the capture's event log (showcap --events). listen_report.sh runs it over many tracks. A
// live show's log (showlisten --events, the track played to the server it listened to) goes with
// --aligned-to, the file's own showcap log: the live clock is shifted by the offset that puts the
// most live cues within 30 ms of the file's, and what fell outside the track is left out.
//   listen_bench [--builtin] [--fps N] [--name NAME] [--aligned-to FILE_LOG.jsonl] --track FILE --events LOG.jsonl
//   listen_bench --header
//   listen_bench --onsets [--builtin] --track FILE      (the yardstick's onsets per band, seconds)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/decoded_track.h"
#include "event_lines.h"
#include "audio/music_errors.h"
#include "band_onsets.h"
#include "listen_measures.h"
#include "timeline/spawner.h"

namespace {
struct Rule {
    const char* name;
    const char* kind;   // the log's fragment kind
    int band;
    double gap;         // demoTime seconds
    bool gated;         // waits for the grid and stroke gate
};
constexpr Rule Rules[] = {
    {"grid", "\"CircleGridFrag\"", GridBand, GridGap, true},
    {"spark", "\"ElectroFrag\"", ElectroBand, ElectroGap, false},
    {"stroke", "\"BezierFrag\"", BezierBand, BezierGap, true},
};
constexpr int RuleCount = 3;
static_assert(sizeof Rules / sizeof Rules[0] == RuleCount, "one row per spectrum rule");

struct CaptureLog {
    std::vector<Spawn> spawns[RuleCount];
    std::vector<double> cues;   // music seconds
    double firstCue = -1;   // music seconds; -1 without cues
};

CaptureLog readCaptureLog(const std::string& path)
{
    std::ifstream in(path);
    if (!in) throw std::runtime_error("can't read " + path);
    CaptureLog log;
    std::map<long, double> musicTimeOf;   // frame -> music seconds
    for (std::string line; std::getline(in, line);) {
        const char* event = eventField(line, "event");
        if (!event) continue;
        if (!std::strncmp(event, "\"frame\"", 7)) {
            musicTimeOf[long(eventNumber(line, "frame"))] = eventNumber(line, "musicTime");
        } else if (!std::strncmp(event, "\"cue\"", 5)) {
            const double t = eventNumber(line, "cueTime");
            log.cues.push_back(t);
            if (log.firstCue < 0 || t < log.firstCue) log.firstCue = t;
        } else if (!std::strncmp(event, "\"fragment\"", 10)) {
            const char* kind = eventField(line, "kind");
            for (int r = 0; r < RuleCount; ++r)
                if (kind && !std::strncmp(kind, Rules[r].kind, std::strlen(Rules[r].kind))) {
                    const auto f = musicTimeOf.find(long(eventNumber(line, "frame")));
                    if (f == musicTimeOf.end()) throw std::runtime_error(path + ": a fragment of a frame the log does not list");
                    log.spawns[r].push_back({f->second, eventNumber(line, "start")});
                }
        }
    }
    if (musicTimeOf.size() < 2) throw std::runtime_error(path + " has no frames");
    return log;
}

std::vector<bool> audibleCells(const DecodedTrack& track)
{
    const size_t cell = size_t(std::lround(AudibleCell * MusicSampleRate));
    std::vector<bool> audible;
    const int channels = track.channels();
    for (size_t first = 0; first < track.frames(); first += cell) {
        const size_t n = std::min(cell, size_t(track.frames()) - first);
        double sum = 0;
        for (size_t i = first; i < first + n; ++i) {
            double mix = 0;
            for (int c = 0; c < channels; ++c) mix += track.samples[i * size_t(channels) + size_t(c)];
            mix /= channels;
            sum += mix * mix;
        }
        audible.push_back(std::sqrt(sum / double(n)) > AudibleRms);
    }
    return audible;
}

void printHeader()
{
    std::printf("| track | length | onsets/min band 2/4/6 | spawns/min grid/spark/stroke (all) | at the limit grid/spark/stroke "
                "| after an onset, over random grid/spark/stroke | rank correlation per 4 s grid/spark/stroke "
                "| longest without one |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
}

int printOnsets(const std::string& trackPath, bool builtIn)
{
    DecodedTrack track;
    if (const int result = decodeTrack(trackPath.c_str(), track, builtIn ? TrackFormat::ShowMp3 : TrackFormat::AnyFormat)) {
        std::fprintf(stderr, "listen_bench: can't decode %s: %s\n", trackPath.c_str(), musicErrorText(result));
        return 1;
    }
    for (const Rule& rule : Rules) {
        std::printf("band %d (%s):", rule.band, rule.name);
        for (double t : bandOnsets(track.samples.data(), size_t(track.frames()), bandOfShowEntry(rule.band))) std::printf(" %.3f", t);
        std::printf("\n");
    }
    return 0;
}

std::string fmtOr(double v, const char* format)
{
    if (std::isnan(v)) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

// The live clock's time at the track's start: of the offsets that put one of the first live cues on a
// file cue, the one that puts the most within 30 ms.
double alignment(const CaptureLog& live, const CaptureLog& file)
{
    double best = 0;
    int most = -1;
    for (size_t i = 0; i < std::min<size_t>(live.cues.size(), 20); ++i)
        for (double f : file.cues) {
            const double offset = live.cues[i] - f;
            int matched = 0;
            for (double t : live.cues)
                for (double g : file.cues) matched += std::fabs(t - offset - g) <= 0.03;
            if (matched > most) most = matched, best = offset;
        }
    std::fprintf(stderr, "listen_bench: the track starts at %.3f s of the live clock (%d of %zu live cues on the file's)\n",
                 best, most, live.cues.size());
    return best;
}

// The live log on the track's clock: every time less the offset, only what lies within the track.
void shift(CaptureLog& log, double offset, double trackSeconds)
{
    for (std::vector<Spawn>& spawns : log.spawns) {
        std::vector<Spawn> kept;
        for (Spawn s : spawns) {
            s.musicTime -= offset;
            if (s.musicTime >= 0 && s.musicTime < trackSeconds) kept.push_back(s);
        }
        spawns = kept;
    }
    std::vector<double> cues;
    for (double t : log.cues)
        if (t - offset >= 0 && t - offset < trackSeconds) cues.push_back(t - offset);
    log.cues = cues;
    log.firstCue = cues.empty() ? -1 : cues.front();
}

int run(const std::string& name, const std::string& trackPath, const std::string& eventsPath, bool builtIn, double fps,
        const std::string& alignedTo)
{
    DecodedTrack track;
    if (const int result = decodeTrack(trackPath.c_str(), track, builtIn ? TrackFormat::ShowMp3 : TrackFormat::AnyFormat)) {
        std::fprintf(stderr, "listen_bench: can't decode %s: %s\n", trackPath.c_str(), musicErrorText(result));
        return 1;
    }
    if (track.channels() != 2) throw std::runtime_error("expected both channels");
    CaptureLog log = readCaptureLog(eventsPath);
    if (!alignedTo.empty()) shift(log, alignment(log, readCaptureLog(alignedTo)), double(track.frames()) / MusicSampleRate);
    const std::vector<bool> audible = audibleCells(track);
    const auto lastAudible = std::find(audible.rbegin(), audible.rend(), true);
    const double musicEnd = double(audible.rend() - lastAudible) * AudibleCell;
    const double minutes = double(track.frames()) / MusicSampleRate / 60;

    // Where each rule may fire: the built-in gates, or a listener's track's first cue.
    const double gridGate = builtIn ? GridAfterMusic : std::max(0.0, log.firstCue);
    const double strokeGate = builtIn ? BezierAfterMusic : std::max(0.0, log.firstCue);
    const double from[RuleCount] = {gridGate, 0.0, strokeGate};

    std::string onsetRate, rate, limit, coincide, rank;
    std::vector<double> all;
    int total = 0;
    for (int r = 0; r < RuleCount; ++r) {
        const std::vector<double> onsets = bandOnsets(track.samples.data(), size_t(track.frames()), bandOfShowEntry(Rules[r].band));
        const std::vector<Spawn>& spawns = log.spawns[r];
        for (const Spawn& s : spawns) all.push_back(s.musicTime);
        total += int(spawns.size());
        const char* sep = r ? " / " : "";
        onsetRate += sep + fmtOr(double(onsets.size()) / minutes, "%.0f");
        rate += sep + fmtOr(double(spawns.size()) / minutes, "%.0f");
        limit += sep + fmtOr(100 * atRateLimit(spawns, Rules[r].gap, fps).share(), "%.0f %%");
        coincide += sep + fmtOr(onsetCoincidence(spawns, onsets, from[r], musicEnd).ratio(), "%.2f");
        rank += sep + fmtOr(countCorrelation(spawns, onsets, from[r], musicEnd), "%.2f");
    }
    std::printf("| %s | %.0f s | %s | %s (%.0f) | %s | %s | %s | %.1f s |\n", name.c_str(), minutes * 60, onsetRate.c_str(),
                rate.c_str(), double(total) / minutes, limit.c_str(), coincide.c_str(), rank.c_str(),
                longestWithoutSpawn(all, audible));
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    std::string name, trackPath, eventsPath, alignedTo;
    bool builtIn = false, onsets = false;
    double fps = 60;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--header") {
            printHeader();
            return 0;
        } else if (a == "--onsets") {
            onsets = true;
        } else if (a == "--builtin") {
            builtIn = true;
        } else if (a == "--track" && hasValue) {
            trackPath = argv[++i];
        } else if (a == "--events" && hasValue) {
            eventsPath = argv[++i];
        } else if (a == "--aligned-to" && hasValue) {
            alignedTo = argv[++i];
        } else if (a == "--name" && hasValue) {
            name = argv[++i];
        } else if (a == "--fps" && hasValue) {
            fps = std::atof(argv[++i]);
        } else {
            trackPath.clear();
            break;
        }
    }
    if (onsets && !trackPath.empty()) return printOnsets(trackPath, builtIn);
    if (trackPath.empty() || eventsPath.empty() || !(fps > 0)) {
        std::fprintf(stderr, "usage: listen_bench [--builtin] [--fps N] [--name NAME] [--aligned-to FILE_LOG.jsonl] --track FILE "
                             "--events LOG.jsonl\n"
                             "       listen_bench --header\n"
                             "       listen_bench --onsets [--builtin] --track FILE\n");
        return 2;
    }
    if (name.empty()) name = trackPath.substr(trackPath.find_last_of('/') + 1);
    try {
        return run(name, trackPath, eventsPath, builtIn, fps, alignedTo);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "listen_bench: %s\n", e.what());
        return 1;
    }
}
