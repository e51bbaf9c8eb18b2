// The real show on its music, in a temporary working directory on a private X server: a bad track
// stops it with one line after the display and images are up, and a missing sound card is reported.
// (Escape and the run to the closing screen are covered with the show's other end-to-end tests.)
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "audio/music_errors.h"
#include "support/process.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"
#include "support/xvfb.h"

namespace {
const std::string ShowBinary = std::string(SHOW_BIN_DIR) + "/show";
constexpr const char* TrackName = "bass_300808.mp3";

bool hasSoundCard()
{
    std::ifstream cards("/proc/asound/cards");
    std::string first;
    return cards && std::getline(cards, first) && first.find("no soundcards") == std::string::npos;
}
}  // namespace

class ShowMusicTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = std::make_unique<XvfbServer>(); }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override
    {
        ASSERT_EQ(lameMissing(), "");
        putShowImages(dir.path());
    }

    ProcessOptions onScreen(double timeout = 60) const { return server->showOptions(dir.path(), timeout); }

    void putTrack(double seconds)
    {
        Tone tone;
        tone.seconds = seconds;
        tone.leftHz = 220;
        tone.rightHz = 440;
        const std::string made = makeToneMp3(dir.path(), "made.mp3", tone);
        std::filesystem::rename(made, dir.file(TrackName));
    }

    static std::unique_ptr<XvfbServer> server;
    TempDir dir;
};
std::unique_ptr<XvfbServer> ShowMusicTest::server;

TEST_F(ShowMusicTest, BadTrackStopsTheShowWithOneLine)
{
    std::string noise(80000, '\0');
    std::mt19937 g(5);
    for (auto& c : noise) c = char(g());
    const struct {
        const char* what;
        bool present;
        std::string bytes;
        int code;
    } cases[] = {
        {"missing", false, "", TrackNotFound},
        {"empty", true, "", TrackEmpty},
        {"text", true, "Not a song.\nJust text.\n", TrackNotMpeg},
        {"random bytes", true, noise, TrackNotMpeg},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(dir.file(TrackName));
        if (c.present) writeFile(dir.file(TrackName), c.bytes);
        const ProcessResult r = runProcess({ShowBinary}, onScreen());
        EXPECT_EQ(r.exitCode, 255);
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.out, "FMOD error! (" + std::to_string(c.code) + ") " + musicErrorText(c.code) + "\n");
    }
}

TEST_F(ShowMusicTest, TrackIsOpenedOnlyAfterTheImages)
{
    // With both the track and an image missing, the image load is what stops it.
    std::filesystem::remove(dir.file("end.png"));
    const ProcessResult r = runProcess({ShowBinary}, onScreen());
    EXPECT_EQ(r.out, "can't open texture end.png\n");
}

TEST_F(ShowMusicTest, MachineWithoutSoundReportsTheDevice)
{
    if (hasSoundCard()) GTEST_SKIP() << "this machine has a sound card";
    ProcessOptions noDriver = onScreen();
    noDriver.env.erase("SDL_AUDIODRIVER");
    noDriver.unsetEnv.push_back("SDL_AUDIODRIVER");
    ProcessResult r = runProcess({ShowBinary}, noDriver);
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.out, "FMOD error! (1) " + std::string(musicErrorText(TrackNotFound)) + "\n")
        << "a missing track is named as such on any machine";

    putTrack(2);
    r = runProcess({ShowBinary}, noDriver);
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_EQ(r.out, "FMOD error! (7) " + std::string(musicErrorText(AudioDeviceUnavailable)) + "\n");
}
