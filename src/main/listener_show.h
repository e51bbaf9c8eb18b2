// A listener's own track made ready for the show on the desktop: read once with a progress line on
// standard error when that takes more than a moment, its score made, or the one line that names the
// file and why it can't play. Shared by showtrack (live) and showcap --track.
#pragma once
#include <string>

#include "audio/decoded_track.h"
#include "main/show.h"

constexpr double ProgressAfterSeconds = 1.0;   // a quicker read prints nothing

// --- Reading
// MusicOk with score set, or the MusicError, with message set to its cantPlayLine.
// keep: filled with the decoded samples when given (the capture), else they are dropped (the live
// show streams the file again). quiet: no progress line.
int readListenerShow(const char* program, const std::string& fileName, DecodedTrack* keep, ShowScore& score,
                     std::string& message, bool quiet = false);
