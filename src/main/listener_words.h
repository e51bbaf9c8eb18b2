// The words a listener's track brings into its score: its tags (or the listener's own --title and
// --artist over them), its tempo and length, and the posters set from them. The desktop programs and
// the page make them the same way, from the same file, so both show the same words and pixels.
#pragma once
#include <string>

#include "main/show.h"

// What the listener said over the tags.
struct WordOptions {
    std::string title, artist;   // empty: the tag's
    std::string fileName;        // the name an untagged title comes from; empty: the track file's own
                                 // (a capture's chunk on another host reads a copy named otherwise)
};

// --- Adding
// tagFile: where the track's bytes are; shownName: the name a title falls back to (the page keeps a
// picked file under a name of its own). tempo: whole BPM, 0 when withheld. false, with error set
// ("can't set the words of 'NAME': missing font ..."), when the fonts can't be opened.
bool addTrackWords(ShowScore& score, const std::string& tagFile, const std::string& shownName,
                   const WordOptions& options, int tempo, uint32_t lengthMs, const std::string& fontDirectory,
                   std::string& error);

// The posters set from words (the fonts checked first): false with error set as addTrackWords sets it.
bool setPosters(const TrackWords& words, const std::string& shownName, const std::string& fontDirectory,
                std::vector<NamedImage>& posters, std::string& error);

// --- Sound heard live (no file, no length, no tempo: the ring says LIVE)
// The words while the show listens: the track a media player announces (title, artist, album), or,
// with no title, the source listened to.
TrackWords liveWords(const std::string& source, const std::string& title, const std::string& artist,
                     const std::string& album);

// --- What the words and posters depend on beside the track
// "TagLib 1.13, FreeType 2.12.1, fonts 0123456789abcdef" (a digest of the posters' font files; "fonts
// missing NAME" where one is): machines whose lines are the same set the same posters.
std::string wordsDependencies(const std::string& fontDirectory);
