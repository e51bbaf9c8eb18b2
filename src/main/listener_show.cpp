// readListenerShow: the progress line is drawn in place on a terminal and written once elsewhere; the
// words and posters are made once the track is known to play.
#include "main/listener_show.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "audio/listener_track.h"
#include "audio/music_errors.h"
#include "utils/typeset.h"

int readListenerShow(const char* program, const std::string& fileName, DecodedTrack* keep, ShowScore& score,
                     std::string& message, bool quiet, const WordOptions& words)
{
    const auto start = std::chrono::steady_clock::now();
    const bool tty = isatty(2);
    bool shown = false;
    auto progress = [&](double fraction) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (quiet || elapsed < ProgressAfterSeconds || (shown && !tty)) return;
        std::fprintf(stderr, tty ? "\r%s: finding the cues in '%s': %3.0f%%" : "%s: finding the cues in '%s'...\n",
                     program, fileName.c_str(), 100.0 * fraction);
        shown = true;
    };
    std::vector<float> cues;
    TrackFindings findings;
    const int result = readListenerTrack(fileName.c_str(), keep, cues, progress, &findings);
    if (shown && tty) std::fprintf(stderr, "\r\033[K");
    if (result) {
        message = cantPlayLine(program, fileName, result);
        return result;
    }
    score = listenerScore(std::move(cues));
    std::string error;
    const std::string shownName = words.fileName.empty() ? fileName : words.fileName;
    if (!addTrackWords(score, fileName, shownName, words, findings.tempo.shown(), findings.lengthMs, FontDirectory, error)) {
        message = std::string(program) + ": " + error;
        return WordsFailed;
    }
    return MusicOk;
}
