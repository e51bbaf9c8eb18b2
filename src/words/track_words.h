// What the show says about a listener's track: its title, artist, album, year and licence as its tags
// give them (or the options), its tempo and length, and the one line that opens the event log of a
// capture or stepped run of it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A tag reader's findings, raw: every value of each field, in the file's order.
struct TagValues {
    std::vector<std::string> title, artist, album, date, licence, copyright;
};

struct TrackWords {
    std::string title;                          // never empty: the file's name where no tag gives one
    std::string artist, album, year, licence;   // empty where untagged
    int tempo = 0;                              // whole beats per minute; 0: withheld
    uint32_t lengthMs = 0;                      // the track's length
};

// --- Making them (every field cleaned: words/clean_text.h)
// Several titles with one of them in the file's name ("hr3-hell.ogg" tagged "Caves;Desert;Hell") are
// that one; otherwise every field's values are joined. The licence is the licence tag's, else the
// copyright's, with a Creative Commons address named as its licence ("CC BY-SA 3.0").
TrackWords wordsFromTags(const TagValues& tags, const std::string& fileName);
// The listener's own words over the tags' (--title, --artist); an empty one changes nothing.
void overrideWords(TrackWords& words, const std::string& title, const std::string& artist);
std::string licenceName(const std::string& licence);   // a creativecommons.org address as "CC BY 4.0", else as given

// --- The event log's first line
// {"event":"track","title":"...","artist":"...","album":"...","year":"...","tempo":N or null,"length":S}
// with S the length in seconds (to the millisecond, no trailing zeros).
std::string trackEventLine(const TrackWords& words);
