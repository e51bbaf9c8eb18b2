// Tags read from files made here (sox, ffmpeg, lame, metaflac): every format the show reads gives the
// same words in Greek, Cyrillic and Latin with diacritics; broken, huge and multi-valued tags come out
// clean; a file without tags is named after its file, and a file that is no audio gives nothing.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/track_tags.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "words/clean_text.h"

namespace {
const std::string Title = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1 mix";   // Καλημέρα mix
const std::string Artist = "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0";                                      // Ёлка
const std::string Album = "Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF";                                          // Café Ünï

std::string missingTools()
{
    for (const char* tool : {"sox", "ffmpeg", "lame", "metaflac"})
        if (!commandExists(tool)) return std::string(tool) + " is not installed (./setup.sh --test)";
    return "";
}

void run(const std::vector<std::string>& argv)
{
    const ProcessResult r = runProcess(argv);
    ASSERT_EQ(r.exitCode, 0) << argv[0] << ": " << r.err;
}

// A second of tone to tag.
std::string makeWav(const TempDir& dir)
{
    const std::string wav = dir.file("tone.wav");
    run({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "1", "sine", "440"});
    return wav;
}

// Replaces the bytes of `from` in the file with `to`, of the same length (tags have no checksums).
void patch(const std::string& path, const std::string& from, const std::string& to)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, from.size(), to);
    std::ofstream(path, std::ios::binary) << bytes;
}
}  // namespace

TEST(TrackTags, EveryFormatGivesTheSameWords)
{
    if (!missingTools().empty()) GTEST_SKIP() << missingTools();
    TempDir dir;
    const std::string wav = makeWav(dir);
    const std::vector<std::string> tags = {"-metadata", "title=" + Title,    "-metadata", "artist=" + Artist,
                                           "-metadata", "album=" + Album,    "-metadata", "date=2008-08-30"};
    struct Format {
        const char* file;
        std::vector<std::string> options;
    };
    const Format formats[] = {
        {"id3v23.mp3", {"-id3v2_version", "3"}},   // UTF-16 frames
        {"id3v24.mp3", {"-id3v2_version", "4"}},   // UTF-8 frames
        {"vorbis.ogg", {"-c:a", "libvorbis"}},
        {"opus.opus", {"-c:a", "libopus"}},
        {"lossless.flac", {}},
        {"info.wav", {}},                          // RIFF INFO
    };
    for (const Format& f : formats) {
        SCOPED_TRACE(f.file);
        std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-i", wav};
        argv.insert(argv.end(), tags.begin(), tags.end());
        argv.insert(argv.end(), f.options.begin(), f.options.end());
        argv.push_back(dir.file(f.file));
        run(argv);
        const TrackWords w = wordsFromTags(readTrackTags(dir.file(f.file)), dir.file(f.file));
        EXPECT_EQ(w.title, Title);
        EXPECT_EQ(w.artist, Artist);
        EXPECT_EQ(w.album, Album);
        EXPECT_EQ(w.year, "2008");
    }
    // ID3v1 holds Latin-1 only; lame writes it.
    run({"lame", "--quiet", "--id3v1-only", "--tt", "Night Drive", "--ta", "Someone", "--ty", "1999", wav,
         dir.file("id3v1.mp3")});
    const TrackWords v1 = wordsFromTags(readTrackTags(dir.file("id3v1.mp3")), dir.file("id3v1.mp3"));
    EXPECT_EQ(v1.title, "Night Drive");
    EXPECT_EQ(v1.artist, "Someone");
    EXPECT_EQ(v1.year, "1999");
}

TEST(TrackTags, BrokenHugeAndSeveralValuedTagsComeOutClean)
{
    if (!missingTools().empty()) GTEST_SKIP() << missingTools();
    TempDir dir;
    const std::string wav = makeWav(dir);
    const std::string flac = dir.file("broken tags.flac");
    run({"sox", wav, flac});
    const std::string huge(12000, 'x');
    run({"metaflac", "--set-tag=TITLE=bad XX bytes", "--set-tag=ARTIST=Anna", "--set-tag=ARTIST=Bo BELL",
         "--set-tag=ARTIST=Anna", "--set-tag=ALBUM=" + huge, flac});
    patch(flac, "XX", "\xFF\xFE");
    patch(flac, "BELL", "\x07\x07\x07\x07");
    const TrackWords w = wordsFromTags(readTrackTags(flac), flac);
    // TagLib drops a Vorbis comment that is not UTF-8, so the title is the file's name.
    EXPECT_EQ(w.title, "broken tags");
    EXPECT_EQ(w.artist, "Anna / Bo") << "control characters out, the repeat once";
    EXPECT_EQ(w.album, huge.substr(0, MaxWordChars));

    // No tags: the file's name. Not audio, empty, missing: nothing, and no crash.
    EXPECT_EQ(wordsFromTags(readTrackTags(wav), dir.file("my song.final.wav")).title, "my song.final");
    std::ofstream(dir.file("text.mp3")) << "ID3 this is no mp3 at all";
    std::ofstream(dir.file("empty.ogg"));
    for (const char* name : {"text.mp3", "empty.ogg", "missing.flac"}) {
        const TagValues t = readTrackTags(dir.file(name));
        EXPECT_TRUE(t.title.empty() && t.artist.empty() && t.album.empty()) << name;
    }
}
