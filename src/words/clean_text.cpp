// Cleaning works on code points, so a cut never splits a character and a stray byte never reaches
// the typesetter or the JSON writer.
#include "words/clean_text.h"

#include <algorithm>
#include <cstdint>

#include "utils/utf8.h"

namespace {
// Shown as nothing by any renderer: a byte-order mark, zero-width spaces and joiners, direction
// marks and embeddings, word joiners and invisible operators, direction isolates.
struct CodeRange {
    uint32_t first, last;
};
constexpr CodeRange InvisibleRanges[] = {
    {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x2066, 0x2069}, {0xFEFF, 0xFEFF},
};
static_assert(sizeof(InvisibleRanges) / sizeof(InvisibleRanges[0]) == 5, "five ranges of invisible characters");

bool invisible(uint32_t cp)
{
    for (const CodeRange& r : InvisibleRanges)
        if (cp >= r.first && cp <= r.last) return true;
    // Noncharacters: U+FDD0..U+FDEF and the last two code points of every plane.
    return (cp >= 0xFDD0 && cp <= 0xFDEF) || (cp & 0xFFFE) == 0xFFFE;
}

// Control characters, and the line and paragraph separators, become spaces.
bool spacing(uint32_t cp) { return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029; }

}  // namespace

std::string cleanText(const std::string& raw, size_t maxChars)
{
    std::string out;
    size_t kept = 0;
    bool pendingSpace = false;
    for (size_t i = 0; i < raw.size() && kept < maxChars;) {
        uint32_t cp;
        if (!nextCodePoint(raw, i, cp) || invisible(cp)) continue;
        if (cp == ' ' || spacing(cp)) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) {
            out += ' ';
            pendingSpace = false;
            if (++kept == maxChars) break;
        }
        appendUtf8(out, cp);
        ++kept;
    }
    // A cut right after a space would leave it at the end.
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

std::string joinValues(const std::vector<std::string>& values)
{
    std::vector<std::string> parts;
    size_t bytes = 0;   // of the parts so far: once past what MaxWordChars can take, the rest is cut anyway
    for (const std::string& value : values) {
        for (size_t start = 0; start <= value.size() && bytes <= MaxWordChars * 4;) {
            const size_t semicolon = std::min(value.find(';', start), value.size());
            const std::string part = cleanText(value.substr(start, semicolon - start));
            if (!part.empty() && std::find(parts.begin(), parts.end(), part) == parts.end()) {
                parts.push_back(part);
                bytes += part.size() + 3;
            }
            start = semicolon + 1;
        }
    }
    std::string joined;
    for (const std::string& p : parts) joined += (joined.empty() ? "" : " / ") + p;
    return cleanText(joined);
}

std::string yearOf(const std::string& date)
{
    const auto digit = [&](size_t k) { return k < date.size() && date[k] >= '0' && date[k] <= '9'; };
    for (size_t i = 0; i + 4 <= date.size(); ++i) {
        if (!digit(i) || (i > 0 && digit(i - 1))) continue;
        if (digit(i + 1) && digit(i + 2) && digit(i + 3) && !digit(i + 4) && (date[i] == '1' || date[i] == '2'))
            return date.substr(i, 4);
    }
    return "";
}

std::string titleFromFileName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    const std::string stem = cleanText(dot == std::string::npos || dot == 0 ? name : name.substr(0, dot));
    return stem.empty() ? cleanText(name) : stem;
}
