// `cmake --install` into a temporary DESTDIR: what lands where, and that the installed launcher and
// showcap find the installed files from another directory (the install is not where it was built
// for, so this also holds the lookups to being relative).
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "audio/music_errors.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root = std::make_unique<TempDir>();
        ProcessOptions options;
        options.env["DESTDIR"] = root->path();
        options.timeoutSeconds = 120;
        const ProcessResult r = runProcess({SHOW_CMAKE, "--install", SHOW_BUILD_DIR, "--prefix", "/usr"}, options);
        installed = r.exitCode == 0;
        if (!installed) std::fprintf(stderr, "%s%s", r.out.c_str(), r.err.c_str());
    }
    static void TearDownTestSuite() { root.reset(); }

    void SetUp() override { ASSERT_TRUE(installed); }
    static std::string usr(const std::string& path) { return root->path() + "/usr/" + path; }

    static std::unique_ptr<TempDir> root;
    static bool installed;
};
std::unique_ptr<TempDir> InstallTest::root;
bool InstallTest::installed = false;

TEST_F(InstallTest, LaysOutProgramsDataManualsAndMenuEntry)
{
    for (const char* path : {"bin/show", "bin/showcap", "libexec/show/show", "libexec/show/showtrack", "libexec/show/showlisten"}) {
        const fs::perms p = fs::status(usr(path)).permissions();
        EXPECT_NE(p & fs::perms::others_exec, fs::perms::none) << path;
    }
    for (const char* path : {"share/man/man1/show.1.gz", "share/man/man1/showcap.1.gz",
                             "share/applications/show.desktop", "share/icons/hicolor/48x48/apps/show.png",
                             "share/icons/hicolor/256x256/apps/show.png", "share/doc/show/copyright"})
        EXPECT_TRUE(fs::is_regular_file(usr(path))) << path;

    // Every file the show reads, each the size of its original in data/.
    int count = 0;
    for (const auto& entry : fs::directory_iterator(usr("share/show"))) {
        ++count;
        const fs::path original = fs::path(SHOW_DATA_DIR) / entry.path().filename();
        ASSERT_TRUE(fs::exists(original)) << entry.path();
        EXPECT_EQ(fs::file_size(entry.path()), fs::file_size(original)) << entry.path();
    }
    EXPECT_EQ(count, 37);
}

TEST_F(InstallTest, LauncherAndShowcapFindTheInstalledFilesFromElsewhere)
{
    TempDir elsewhere;
    ProcessOptions options;
    options.workDir = elsewhere.path();
    // No sound system: the show stops at its music, which it only reaches with every image and the
    // track found in its working directory.
    options.env["SDL_AUDIODRIVER"] = "no-such-driver";
    ProcessResult r = runProcess({usr("bin/show")}, options);
    EXPECT_EQ(r.out, "FMOD error! (6) " + std::string(musicErrorText(AudioSystemUnavailable)) + "\n");

    // A listener's track named relative to where show is started, its name with a space and an
    // umlaut: read, its cues found, then the same stop at the music, from the installed files.
    ASSERT_EQ(runProcess({"sox", "-n", "-r", "48000", "-c", "2", elsewhere.file("my trück.flac"), "synth", "2", "sine",
                          "345"})
                  .exitCode,
              0);
    r = runProcess({usr("bin/show"), "my trück.flac"}, options);
    EXPECT_EQ(r.out, "FMOD error! (6) " + std::string(musicErrorText(AudioSystemUnavailable)) + "\n") << r.err;
    writeFile(elsewhere.file("notes.txt"), "no music here\n");
    r = runProcess({usr("bin/show"), "notes.txt"}, options);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "show: can't play '" + elsewhere.file("notes.txt") + "': " + musicErrorText(TrackNotAudio) + "\n");

    // show --listen reaches showlisten, which names what it cannot listen to.
    ProcessOptions noServer = options;
    noServer.env["PULSE_SERVER"] = "unix:" + elsewhere.file("no-server");
    r = runProcess({usr("bin/show"), "--listen"}, noServer);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "show: can't listen: no sound server answers (PulseAudio, or PipeWire's pulse server)\n");

    options.timeoutSeconds = 120;
    r = runProcess({usr("bin/showcap"), "--quiet", "--format", "none", "--to", "0.1", "--hashes", "h.txt"}, options);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::is_regular_file(elsewhere.file("h.txt")));
}
