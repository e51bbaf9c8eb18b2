// Widths are sums of advances scaled by the size, as the typesetter sets them (no kerning), so a
// fitted line's measured width is exactly what is drawn. A space where a line breaks is not set.
#include "words/line_fit.h"

#include <algorithm>

namespace {
bool isSpace(uint32_t cp) { return cp == ' ' || cp == 0xA0 || cp == 0x3000; }

// Combining marks sit on the character before them: no line starts or is cut in front of one.
bool combining(uint32_t cp)
{
    return (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF) ||
           (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE20 && cp <= 0xFE2F);
}

// Ideographs and kana are set without spaces: a line may break between any two of them.
bool ideographic(uint32_t cp)
{
    return (cp >= 0x3040 && cp <= 0x30FF) || (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xAC00 && cp <= 0xD7AF);
}

struct Run {
    const std::vector<uint32_t>& text;
    const std::vector<float>& advances;

    // Width of [first, last) at 1 px/em, without the spaces at its ends.
    float width(size_t first, size_t last) const
    {
        while (first < last && isSpace(text[first])) ++first;
        while (last > first && isSpace(text[last - 1])) --last;
        float w = 0;
        for (size_t k = first; k < last; ++k) w += advances[k];
        return w;
    }
    // A second line may start at k: after a space, a hyphen or a slash, or between ideographs.
    bool breakBefore(size_t k) const
    {
        if (k == 0 || k >= text.size() || combining(text[k])) return false;
        const uint32_t before = text[k - 1];
        if (isSpace(text[k])) return false;
        return isSpace(before) || before == '-' || before == '/' || before == 0x2013 || ideographic(before) ||
               ideographic(text[k]);
    }
    size_t skipSpaces(size_t k) const
    {
        while (k < text.size() && isSpace(text[k])) ++k;
        return k;
    }
    size_t trimEnd(size_t first, size_t last) const
    {
        while (last > first && isSpace(text[last - 1])) --last;
        return last;
    }
};
}  // namespace

FittedLines fitLines(const std::vector<uint32_t>& text, const std::vector<float>& advances, float ellipsisAdvance,
                     const FitBox& box)
{
    FittedLines out;
    const Run run{text, advances};
    const size_t n = std::min(text.size(), advances.size());
    const size_t first = run.skipSpaces(0), last = run.trimEnd(first, n);
    if (first >= last || !(box.width > 0)) return out;

    // One line.
    const float whole = run.width(first, last);
    const float oneSize = whole > 0 ? std::min(box.size, box.width / whole) : box.size;
    if (oneSize >= box.minSize) {
        out.size = oneSize;
        out.lines.push_back({first, last});
        return out;
    }
    // Two lines, broken where the longer of the two is shortest; the earlier of two equal breaks.
    if (box.maxLines >= 2) {
        size_t best = 0;
        float bestWidth = 0;
        for (size_t k = first + 1; k < last; ++k) {
            if (!run.breakBefore(k)) continue;
            const float w = std::max(run.width(first, k), run.width(k, last));
            if (best == 0 || w < bestWidth) {
                best = k;
                bestWidth = w;
            }
        }
        const float twoSize = best && bestWidth > 0 ? std::min(box.twoLineSize, box.width / bestWidth) : 0;
        if (best && twoSize >= box.minSize) {
            out.size = twoSize;
            out.lines.push_back({first, run.trimEnd(first, best)});
            out.lines.push_back({run.skipSpaces(best), last});
            return out;
        }
    }

    // At the smallest size: lines filled up to their last break that fits; the line where none fits,
    // or the last line, is cut where it and the ellipsis fit (a word is never broken across lines).
    out.size = box.minSize;
    const float room = box.width / box.minSize;
    size_t start = first;
    for (int line = 0; line < box.maxLines; ++line) {
        if (run.width(start, last) <= room) {
            out.lines.push_back({start, last});
            return out;
        }
        size_t end = 0;
        if (line + 1 < box.maxLines)
            for (size_t k = start + 1; k < last && run.width(start, k) <= room; ++k)
                if (run.breakBefore(k)) end = k;
        if (end == 0) break;
        out.lines.push_back({start, run.trimEnd(start, end)});
        start = run.skipSpaces(end);
    }
    // The cut goes after the last whole word that fits, unless that would leave the line less than
    // half full; then after the last character that fits.
    size_t end = start, wordEnd = start;
    for (size_t k = start + 1; k < last && run.width(start, k) + ellipsisAdvance <= room; ++k) {
        if (!combining(text[k])) end = k;
        if (run.breakBefore(k)) wordEnd = k;
    }
    if (wordEnd > start && run.width(start, wordEnd) >= 0.5f * room) end = wordEnd;
    out.lines.push_back({start, run.trimEnd(start, end)});
    out.ellipsis = true;
    return out;
}
