// Line fitting over made advances (letters 1 em, spaces and combining marks 0.5, the ellipsis 1): every decision of the
// ladder (as large as fits, smaller, two lines, an ellipsis) and the places a line may not break.
#include <gtest/gtest.h>

#include <string>

#include "utils/utf8.h"
#include "words/line_fit.h"

namespace {
struct Fitted {
    float size;
    std::string lines;   // joined with '|', an ellipsis as "..."
};

Fitted fit(const std::string& text, float width, int maxLines = 2)
{
    const std::vector<uint32_t> cps = decodeUtf8(text);
    std::vector<float> advances;
    for (uint32_t cp : cps) advances.push_back(cp == ' ' ? 0.5f : (cp >= 0x300 && cp <= 0x36F) ? 0.5f : 1.0f);
    FitBox box;
    box.width = width;
    box.size = 100;
    box.twoLineSize = 60;
    box.minSize = 20;
    box.maxLines = maxLines;
    const FittedLines f = fitLines(cps, advances, 1.0f, box);
    Fitted out{f.size, ""};
    for (size_t i = 0; i < f.lines.size(); ++i)
        out.lines += (i ? "|" : "") + encodeUtf8(cps, f.lines[i].first, f.lines[i].last);
    if (f.ellipsis) out.lines += "...";
    return out;
}
}  // namespace

TEST(LineFit, LargestThenSmallerThenTwoLinesThenAnEllipsis)
{
    struct Case {
        const char* text;
        float width;      // pixels
        int maxLines;
        float size;       // pixels per em
        const char* lines;
    };
    const Case cases[] = {
        {"  BASS  ", 800, 2, 100, "BASS"},                     // 4 em fit at the largest size; the spaces are not set
        {"SOUND LIGHT", 800, 2, 800 / 10.5f, "SOUND LIGHT"},   // 10.5 em: smaller, still over the least size
        {"MUSIC FOR A LONG NIGHT DRIVE", 400, 2, 400 / 14.5f, "MUSIC FOR A LONG|NIGHT DRIVE"},   // the balanced break
        {"AAAA BBBB CCCC DDDD EEEE FFFF GGGG HHHH", 300, 2, 20, "AAAA BBBB CCCC|DDDD EEEE FFFF..."},
        {"AAAA BBBB CCCC DDDD EEEE FFFF GGGG HHHH", 300, 1, 20, "AAAA BBBB CCCC..."},   // the space before the cut goes
        {"AAAAAAAAAAA BBBBBBBBBBBBBB", 300, 1, 20, "AAAAAAAAAAA..."},   // after a whole word where it fills half the line
        {"AAAAA BBBBBBBBBBBBBBBBBBBB", 300, 1, 20, "AAAAA BBBBBBBB..."},  // else after the last letter that fits
        {"ONEVERYLONGWORDWITHOUTANYPLACETOBREAKIT", 400, 2, 20, "ONEVERYLONGWORDWITH..."},   // not split across lines
        {"ALPHA-BETA/GAMMA", 200, 2, 20, "ALPHA-|BETA/GAMMA"},   // after a hyphen or a slash
        {"\xE9\x9F\xB3\xE6\xA5\xBD\xE3\x81\xAE\xE5\xA4\x9C\xE6\x98\x8E\xE3\x81\x91\xE3\x81\xBE\xE3\x81\xA7\xE3\x81\xAE"
         "\xE9\x81\x93\xE3\x82\x92\xE6\xAD\xA9\xE3\x81\x8F",
         200, 2, 200 / 7.0f, "\xE9\x9F\xB3\xE6\xA5\xBD\xE3\x81\xAE\xE5\xA4\x9C\xE6\x98\x8E\xE3\x81\x91|"
                             "\xE3\x81\xBE\xE3\x81\xA7\xE3\x81\xAE\xE9\x81\x93\xE3\x82\x92\xE6\xAD\xA9\xE3\x81\x8F"},   // between ideographs
        {"AAAAAAAAAAAAAAAAAAE\xCC\x81" "BB", 400, 1, 20, "AAAAAAAAAAAAAAAAAA..."},   // a letter's mark is not cut off it
        {"", 400, 2, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Fitted f = fit(c.text, c.width, c.maxLines);
        EXPECT_FLOAT_EQ(f.size, c.size);
        EXPECT_EQ(f.lines, c.lines);
    }
}
