// The real show on its music, in a temporary working directory on a private X server: a bad track
// stops it with one line after the display and images are up, a missing sound card is reported, and a
// good track carries the show to its closing screen and a clean exit by itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>

#include "audio/music_errors.h"
#include "support/png_write.h"
#include "support/process.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "test_tracks.h"

namespace {
const std::string ShowBinary = std::string(SHOW_BIN_DIR) + "/show";
constexpr const char* TrackName = "bass_300808.mp3";

bool hasSoundCard()
{
    std::ifstream cards("/proc/asound/cards");
    std::string first;
    return cards && std::getline(cards, first) && first.find("no soundcards") == std::string::npos;
}

// The closing screen with a white end.png: a bright lower-left square, black everywhere else.
bool showsClosingScreen(const Image& shot)
{
    if (shot.width != 1024 || shot.height != 768 || shot.channels < 3) return false;
    auto level = [&shot](int x, int y) {
        const uint8_t* p = &shot.pixels[(size_t(y) * 1024 + size_t(x)) * size_t(shot.channels)];
        return std::min({p[0], p[1], p[2]});
    };
    auto brightest = [&shot](int x, int y) {
        const uint8_t* p = &shot.pixels[(size_t(y) * 1024 + size_t(x)) * size_t(shot.channels)];
        return std::max({p[0], p[1], p[2]});
    };
    for (int y = 8; y < 512; y += 50)
        for (int x = 8; x < 512; x += 50)
            if (level(x, y) < 195) return false;
    for (int y = 530; y < 768; y += 40)
        for (int x = 530; x < 1024; x += 40)
            if (brightest(x, y) > 0) return false;
    return true;
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

    ProcessOptions onScreen(double timeout = 60) const
    {
        ProcessOptions options;
        options.workDir = dir.path();
        options.env["DISPLAY"] = server->display();
        options.env["SDL_AUDIODRIVER"] = "dummy";
        options.env["SDL_NO_SIGNAL_HANDLERS"] = "1";
        options.unsetEnv = {"SDL_VIDEODRIVER"};
        options.timeoutSeconds = timeout;
        return options;
    }

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

TEST_F(ShowMusicTest, TrackIsOpenedOnlyAfterTheDisplayAndTheImages)
{
    // With no display the show must stop in video start-up, before it looks at the (missing) track.
    ProcessOptions noDisplay = onScreen();
    noDisplay.env.erase("DISPLAY");
    noDisplay.unsetEnv.push_back("DISPLAY");
    noDisplay.env["SDL_VIDEODRIVER"] = "x11";
    ProcessResult r = runProcess({ShowBinary}, noDisplay);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.rfind("couldn't initialize SDL", 0), 0u) << r.out;

    // With an image missing too, the image load is what stops it.
    std::filesystem::remove(dir.file("end.png"));
    r = runProcess({ShowBinary}, onScreen());
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

TEST_F(ShowMusicTest, EscapeDuringTheMusicClosesCleanly)
{
    putTrack(30);
    const double start = monotonicSeconds();
    Process show({ShowBinary}, onScreen());
    sleep(3);   // well into the music
    while (show.running() && monotonicSeconds() - start < 20) {
        server->sendKey("Escape");
        usleep(500 * 1000);
    }
    const ProcessResult r = show.wait();
    EXPECT_LT(monotonicSeconds() - start, 20) << "Escape did not end the show";
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, "");
}

TEST_F(ShowMusicTest, ShortTrackCarriesTheShowToItsClosingScreenAndExit)
{
    constexpr double TrackSeconds = 3;
    putTrack(TrackSeconds);
    writeSolidPng(dir.file("end.png"), 512, 512, 3, 255);
    const double start = monotonicSeconds();
    Process show({ShowBinary}, onScreen());
    double firstClosing = -1;
    while (show.running()) {
        Image shot;
        if (server->screenshot(shot) && firstClosing < 0 && showsClosingScreen(shot)) {
            firstClosing = monotonicSeconds() - start;
        }
    }
    const ProcessResult r = show.wait();
    const double total = monotonicSeconds() - start;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    ASSERT_GE(firstClosing, 0) << "the closing screen was never seen";
    EXPECT_GE(firstClosing, TrackSeconds) << "the closing screen came before the music ended";
    EXPECT_GE(total, TrackSeconds + 2.1);
    EXPECT_LT(total, TrackSeconds + 2.1 + 10) << "the show lingered after its closing screen";
}
