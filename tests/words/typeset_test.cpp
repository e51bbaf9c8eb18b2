// The lettering the posters are set in: Greek, Cyrillic and accented Latin come out inked, a letter the
// run's font lacks comes from Sans Bold, one no font has is the replacement character, and the
// advances the line fitter gets are the ones the run is drawn with.
#include <gtest/gtest.h>

#include <numeric>

#include "utils/typeset.h"
#include "utils/utf8.h"

namespace {
Canvas drawn(Typesetter& type, const std::string& text, FontStyle font)
{
    Canvas c(400, 120);
    TextStyle s;
    s.font = font;
    s.size = 60;
    type.draw(c, text, {10, 90}, s);
    return c;
}
double ink(const Canvas& c) { return std::accumulate(c.v.begin(), c.v.end(), 0.0); }
}  // namespace

TEST(Lettering, EveryScriptInkedAndAVisibleMarkForTheRest)
{
    Typesetter type;
    for (const char* text : {"\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1", "\xD0\x96\xD1\x91\xD0\xBB\xD1\x82\xD1\x8B\xD0\xB9",
                             "\xC3\x86r\xC3\xB8sk\xC3\xB8\x62ing"})
        for (FontStyle f : {FontStyle::SansCondensedBold, FontStyle::SansLight, FontStyle::SerifBoldItalic, FontStyle::MonoBold})
            EXPECT_GT(ink(drawn(type, text, f)), 500) << text << " in " << fontFileName(f);

    // U+01F6 is in Sans Bold but not in ExtraLight; U+97F3 (an ideograph) in no DejaVu face.
    EXPECT_EQ(drawn(type, "\xC7\xB6", FontStyle::SansLight).v, drawn(type, "\xC7\xB6", FontStyle::SansBold).v);
    const Canvas missing = drawn(type, "\xE9\x9F\xB3", FontStyle::SansCondensedBold);
    EXPECT_GT(ink(missing), 500);
    EXPECT_EQ(missing.v, drawn(type, "\xEF\xBF\xBD", FontStyle::SansCondensedBold).v);

    TextStyle s;
    s.font = FontStyle::SansCondensedBold;
    s.size = 100;
    const std::string run = "Kal\xC3\xA9 \xE9\x9F\xB3";
    const std::vector<float> unit = type.unitAdvances(decodeUtf8(run), s.font);
    ASSERT_EQ(unit.size(), 6u);
    EXPECT_NEAR(100 * std::accumulate(unit.begin(), unit.end(), 0.0f), type.advance(run, s), 0.1f);
}

TEST(Lettering, AMissingFontIsNamed)
{
    Typesetter type("/nonexistent");
    try {
        type.capHeight(TextStyle());
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/DejaVuSans-Bold.ttf"), std::string::npos) << e.what();
    }
}
