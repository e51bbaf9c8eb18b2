// From tag values to the track's words and its log line: several titles, a Creative Commons
// address, options over tags, an untagged file, and the line's exact form.
#include <gtest/gtest.h>

#include "words/track_words.h"

TEST(TrackWords, FromTagsOptionsAndFileName)
{
    TagValues tags;
    tags.title = {"Living Caves;Crossroads;Desert;Graveyard;Hell"};
    tags.artist = {"NeonCorridor", "NeonCorridor"};
    tags.date = {"", "2013-01-01"};
    tags.licence = {"http://creativecommons.org/licenses/by-sa/3.0/"};
    TrackWords w = wordsFromTags(tags, "/usr/share/hyperrogue/music/hr3-hell.ogg");
    EXPECT_EQ(w.title, "Hell") << "the one title the file is named after";
    EXPECT_EQ(w.artist, "NeonCorridor");
    EXPECT_EQ(w.year, "2013");
    EXPECT_EQ(w.licence, "CC BY-SA 3.0");
    EXPECT_EQ(wordsFromTags(tags, "mix.ogg").title, "Living Caves / Crossroads / Desert / Graveyard / Hell");

    overrideWords(w, "  My \x01Title ", "");
    EXPECT_EQ(w.title, "My Title");
    EXPECT_EQ(w.artist, "NeonCorridor") << "an empty option leaves the tag";

    TagValues copyrightOnly;
    copyrightOnly.copyright = {"\xC2\xA9 2008 the crew"};
    const TrackWords plain = wordsFromTags(copyrightOnly, "dir/untitled take.flac");
    EXPECT_EQ(plain.title, "untitled take");
    EXPECT_EQ(plain.licence, "\xC2\xA9 2008 the crew");
    EXPECT_EQ(licenceName("https://creativecommons.org/publicdomain/zero/1.0/"), "CC0 1.0");
}

TEST(TrackWords, TheLogLine)
{
    TrackWords w;
    w.title = "Say \"hi\" \\ \xCE\xB1";
    w.artist = "A";
    w.year = "2008";
    w.tempo = 174;
    w.lengthMs = 186012;
    EXPECT_EQ(trackEventLine(w), "{\"event\":\"track\",\"title\":\"Say \\\"hi\\\" \\\\ \xCE\xB1\",\"artist\":\"A\","
                                 "\"album\":\"\",\"year\":\"2008\",\"tempo\":174,\"length\":186.012}");
    w.tempo = 0;
    w.lengthMs = 30000;
    EXPECT_NE(trackEventLine(w).find("\"tempo\":null,\"length\":30}"), std::string::npos) << trackEventLine(w);
}
