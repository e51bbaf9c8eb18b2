// What a tag may hold, and what the posters and the log get from it: broken bytes, controls and
// invisible characters gone, scripts and characters the fonts lack kept, long values cut on a
// character, several values joined once each.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "utils/utf8.h"
#include "words/clean_text.h"

TEST(CleanText, KeepsEveryScriptAndDropsWhatIsBroken)
{
    struct Case {
        const char* raw;
        const char* clean;
    };
    const Case cases[] = {
        {"  Caf\xC3\xA9\tdel\r\nMar  ", "Caf\xC3\xA9 del Mar"},
        {"A\x01" "B\x7F C", "A B C"},
        {"Bad \xFF\xFE bytes", "Bad bytes"},
        {"over\xC0\xAFlong, sur\xED\xA0\x80rogate, cut\xE2\x82", "overlong, surrogate, cut"},
        {"next\xC2\x85line", "next line"},   // C1's NEL
        {"\xEF\xBB\xBFTi\xE2\x80\x8Btle\xE2\x80\xAE", "Title"},   // byte-order mark, zero-width space, bidi override
        {"\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
         "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 \xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        {"\xF0\x9F\x8E\xB5 \xE9\x9F\xB3\xE6\xA5\xBD", "\xF0\x9F\x8E\xB5 \xE9\x9F\xB3\xE6\xA5\xBD"},   // no font has them: kept
        {"\x02\x03", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(cleanText(c.raw), c.clean) << c.raw;
}

TEST(CleanText, CutsHugeValuesOnACharacter)
{
    std::string huge;
    for (int i = 0; i < 6000; ++i) huge += "\xC3\xA9 ";   // 18 kB
    const std::string cut = cleanText(huge);
    EXPECT_EQ(decodeUtf8(cut).size(), MaxWordChars - 1) << "the cut falls on a space, which goes";
    EXPECT_EQ(encodeUtf8(decodeUtf8(cut)), cut) << "well-formed to the end";
    EXPECT_NE(cut.back(), ' ');
    std::string exact(MaxWordChars, 'x');
    EXPECT_EQ(cleanText(exact + "yz"), exact);
    EXPECT_EQ(cleanText(exact), exact) << "cut only past the limit";
}

TEST(CleanText, SeveralValuesJoinOnceEach)
{
    EXPECT_EQ(joinValues({"Living Caves;Crossroads;Desert", "Hell"}), "Living Caves / Crossroads / Desert / Hell");
    EXPECT_EQ(joinValues({"A ; B", "B", "  ", "A", "\x01"}), "A / B");
    EXPECT_EQ(joinValues({}), "");
    const std::vector<std::string> many(20000, "one;two");
    EXPECT_EQ(joinValues(many), "one / two");
}

TEST(CleanText, YearsAndFileNames)
{
    EXPECT_EQ(yearOf("2008-08-30"), "2008");
    EXPECT_EQ(yearOf("30.08.2008"), "2008");
    EXPECT_EQ(yearOf("(P) 1999 Label"), "1999");
    EXPECT_EQ(yearOf("12345 or 3008"), "");
    EXPECT_EQ(titleFromFileName("/music/my song.final.ogg"), "my song.final");
    EXPECT_EQ(titleFromFileName("dir.v2/track"), "track");
    EXPECT_EQ(titleFromFileName(".ogg"), ".ogg");
    EXPECT_EQ(titleFromFileName("caf\xE9\tmix.wav"), "caf mix") << "a name in Latin-1 loses its broken byte";
}
