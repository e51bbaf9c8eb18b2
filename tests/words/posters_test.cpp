// The posters keep a listener's words inside their boxes whatever the words: short, long, in
// another script, with characters no font has, or missing; and the tempo ring says the tempo only
// where it is known.
#include <gtest/gtest.h>

#include "utils/typeset.h"
#include "words/posters.h"

namespace {
// Ink in columns [x0, x1) of a grey image, any row.
int inkIn(const Image& im, int x0, int x1)
{
    int n = 0;
    for (int y = 0; y < im.height; ++y)
        for (int x = x0; x < x1; ++x) n += im.pixels[size_t(y) * size_t(im.width) + size_t(x)] > 0;
    return n;
}
}  // namespace

TEST(Posters, WordsStayInsideTheirMargins)
{
    Typesetter type;
    const std::string longTitle(300, 'W');
    const char* titles[] = {"Hi", "A Title Long Enough To Need Two Lines And Then Some More Words To Cut",
                            longTitle.c_str(), "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 \xE9\x9F\xB3"};
    for (const char* title : titles) {
        SCOPED_TRACE(title);
        TrackWords w;
        w.title = title;
        w.artist = std::string(120, 'M') + " and the very long named orchestra";
        w.album = std::string(90, 'a');
        w.year = "2008";
        w.lengthMs = 3723000;
        const Image poster = titlePoster(w, type);
        ASSERT_EQ(poster.width, 1024);
        EXPECT_EQ(inkIn(poster, 0, 80), 0) << "left of the rule's start";
        EXPECT_EQ(inkIn(poster, 944, 1024), 0) << "right of the rule's end";
        EXPECT_GT(inkIn(poster, 92, 932), 20000);
    }
}

TEST(Posters, TheRingSaysTheTempoOnlyWhereItIsKnown)
{
    Typesetter type;
    TrackWords w;
    w.title = "Night Drive";
    w.lengthMs = 95000;
    const Image withheld = tempoPoster(w, type);
    w.tempo = 174;
    const Image shown = tempoPoster(w, type);
    EXPECT_NE(withheld.pixels, shown.pixels);
    w.lengthMs = 222000;
    EXPECT_EQ(tempoPoster(w, type).pixels, shown.pixels) << "a shown tempo hides the length";
    EXPECT_EQ(lengthText(95000), "1:35");
    EXPECT_EQ(lengthText(3723999), "1:02:03");
    w.artist = "Anna";
    w.licence = "CC BY 4.0";
    EXPECT_EQ(creditsLine(w), "music by Anna \xC2\xB7 CC BY 4.0");
    w.artist.clear();
    EXPECT_EQ(creditsLine(w), "music: CC BY 4.0");
}
