// The words a listener's track file carries in its tags, read with TagLib: ID3v1 and ID3v2 (2.3 and
// 2.4, any text encoding) in MP3, Vorbis comments in Ogg Vorbis, Opus and FLAC (and Ogg FLAC), ID3v2
// and RIFF INFO in WAV. The format is told by the file's first bytes, as the decoder tells it, not
// by its name.
#pragma once
#include <string>

#include "words/track_words.h"

// --- Reading
// Every value of each field, as UTF-8 (not yet cleaned); empty where the file has no tags, is not a
// format read here, or cannot be read. Never fails otherwise.
TagValues readTrackTags(const std::string& fileName);
