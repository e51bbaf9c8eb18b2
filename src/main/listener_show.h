// A listener's own track made ready for the show on the desktop: read once with a progress line on
// standard error when that takes more than a moment, its score made, or the one line that names the
// file and why it can't play. Shared by showtrack (live) and showcap --track.
#pragma once
#include <string>

#include "audio/decoded_track.h"
#include "main/listener_words.h"
#include "main/show.h"

constexpr double ProgressAfterSeconds = 1.0;   // a quicker read prints nothing

constexpr int WordsFailed = -1;   // the posters' fonts could not be opened

// --- Reading
// MusicOk with score set (its cues, gates, words and posters), or the MusicError, with message set to
// its cantPlayLine, or WordsFailed with message naming the missing font. keep: filled with the decoded
// samples when given (the capture), else they are dropped (the live show streams the file again).
// quiet: no progress line. words: the listener's --title and --artist.
int readListenerShow(const char* program, const std::string& fileName, DecodedTrack* keep, ShowScore& score,
                     std::string& message, bool quiet = false, const WordOptions& words = {});
