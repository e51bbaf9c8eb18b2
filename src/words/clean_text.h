// A track's words as they may be shown and logged: tag values and file names come from anyone's files,
// so they are made into short, printable, well-formed UTF-8 before anything else sees them.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

constexpr size_t MaxWordChars = 1000;   // code points a cleaned value keeps; a longer one is cut there

// --- Cleaning (UTF-8 in, UTF-8 out)
// Invalid bytes and invisible format characters (byte-order mark, zero-width and bidi controls) left
// out; control characters (C0, DEL, C1), tabs, line breaks and line or paragraph separators made
// spaces; runs of spaces made one; none at either end; then cut to maxChars code points.
std::string cleanText(const std::string& raw, size_t maxChars = MaxWordChars);
// Several values of one tag, as one: each value also split at ';' (how many taggers join several
// names in one field), each part cleaned, empty ones and repeats left out, the rest joined with " / "
// in their first order, and cut to MaxWordChars.
std::string joinValues(const std::vector<std::string>& values);
// The year a date tag names: its first run of exactly four digits from 1000 to 2999 ("2008-08-30",
// "30.08.2008", "(P) 1999"), else empty.
std::string yearOf(const std::string& date);
// A title for an untagged file: its name without the folder and the last extension, cleaned
// ("/music/my song.final.ogg" -> "my song.final"); the whole name where that would leave nothing.
std::string titleFromFileName(const std::string& path);
