// Tags are only what a file claims: each value is cleaned before it is compared or joined, so a
// broken byte in one value cannot hide a repeat or a match with the file's name.
#include "words/track_words.h"

#include <cctype>

#include "timeline/event_log.h"
#include "utils/format.h"
#include "words/clean_text.h"

namespace {
std::string lowerAscii(std::string s)
{
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> cleanParts(const std::vector<std::string>& values)
{
    std::vector<std::string> parts;
    for (const std::string& v : values) {
        size_t start = 0;
        for (;;) {
            const size_t semicolon = v.find(';', start);
            const std::string part =
                cleanText(v.substr(start, semicolon == std::string::npos ? std::string::npos : semicolon - start));
            if (!part.empty()) parts.push_back(part);
            if (semicolon == std::string::npos) break;
            start = semicolon + 1;
        }
    }
    return parts;
}

std::string titleOf(const std::vector<std::string>& values, const std::string& fileName)
{
    const std::vector<std::string> parts = cleanParts(values);
    if (parts.size() > 1) {
        const std::string name = lowerAscii(titleFromFileName(fileName));
        const std::string* match = nullptr;
        int matches = 0;
        for (const std::string& p : parts)
            if (name.find(lowerAscii(p)) != std::string::npos && !(match && *match == p)) {
                match = &p;
                ++matches;
            }
        if (matches == 1) return *match;
    }
    const std::string joined = joinValues(values);
    return joined.empty() ? titleFromFileName(fileName) : joined;
}

// The licence's short name from a creativecommons.org address: licenses/by-sa/3.0 -> "CC BY-SA 3.0",
// publicdomain/zero/1.0 -> "CC0 1.0".
std::string creativeCommons(const std::string& text)
{
    const std::string lower = lowerAscii(text);
    const size_t site = lower.find("creativecommons.org/");
    if (site == std::string::npos) return "";
    std::vector<std::string> path;
    std::string piece;
    for (size_t i = site + 20; i <= lower.size(); ++i) {
        const char c = i < lower.size() ? lower[i] : '/';
        if (c == '/' || c == ' ' || c == '?' || c == '#') {
            if (!piece.empty()) path.push_back(piece);
            piece.clear();
            if (c != '/') break;
        } else {
            piece += c;
        }
    }
    if (path.size() >= 3 && path[0] == "licenses") {
        std::string kind = path[1];
        for (char& c : kind) c = char(std::toupper(static_cast<unsigned char>(c)));
        return "CC " + kind + " " + path[2];
    }
    if (path.size() >= 3 && path[0] == "publicdomain" && path[1] == "zero") return "CC0 " + path[2];
    if (path.size() >= 2 && path[0] == "publicdomain" && path[1] == "mark") return "Public Domain";
    return "";
}

std::string secondsText(uint32_t ms)
{
    std::string s = formatString("%u.%03u", ms / 1000, ms % 1000);
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}
}  // namespace

std::string licenceName(const std::string& licence)
{
    const std::string cc = creativeCommons(licence);
    return cc.empty() ? licence : cc;
}

TrackWords wordsFromTags(const TagValues& tags, const std::string& fileName)
{
    TrackWords w;
    w.title = titleOf(tags.title, fileName);
    w.artist = joinValues(tags.artist);
    w.album = joinValues(tags.album);
    for (const std::string& d : tags.date)
        if (w.year.empty()) w.year = yearOf(d);
    w.licence = licenceName(joinValues(tags.licence.empty() ? tags.copyright : tags.licence));
    return w;
}

void overrideWords(TrackWords& words, const std::string& title, const std::string& artist)
{
    const std::string t = cleanText(title), a = cleanText(artist);
    if (!t.empty()) words.title = t;
    if (!a.empty()) words.artist = a;
}

std::string trackEventLine(const TrackWords& w)
{
    return "{\"event\":\"track\",\"title\":" + jsonString(w.title) + ",\"artist\":" + jsonString(w.artist) +
           ",\"album\":" + jsonString(w.album) + ",\"year\":" + jsonString(w.year) +
           ",\"tempo\":" + (w.tempo > 0 ? std::to_string(w.tempo) : std::string("null")) +
           ",\"length\":" + secondsText(w.lengthMs) + "}";
}
