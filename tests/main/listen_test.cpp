// The show listening live, end to end: showlisten on a private X server, listening to the monitor of
// a private PulseAudio server's null sink while paplay plays made sound into it. Clicks become cues at
// their own spacing, a missing source or server is one line and status 1, and a server that goes away
// and comes back leaves the show drawing, told once, and listening again.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/show_files.h"
#include "support/sound_server.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"
#include "support/xvfb.h"

namespace {
const std::string ListenBinary = std::string(SHOW_BIN_DIR) + "/showlisten";
// As many as the built-in list has in 10 s, so the cue density lets every one through.
const std::vector<double> Clicks = {0.5, 2.2, 3.6, 5.5, 7.1, 8.8};
constexpr double ClicksSeconds = 10;

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) lines.push_back(text.substr(at, end - at));
    return lines;
}

double numberAfter(const std::string& line, const std::string& key)
{
    const size_t at = line.find("\"" + key + "\":");
    return at == std::string::npos ? NAN : std::atof(line.c_str() + at + key.size() + 3);
}

std::vector<double> cueTimes(const std::vector<std::string>& lines)
{
    std::vector<double> cues;
    for (const std::string& l : lines)
        if (l.find("\"event\":\"cue\"") != std::string::npos) cues.push_back(numberAfter(l, "cueTime"));
    return cues;
}

class ListenEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (PulseServer::missing().empty()) screen = std::make_unique<XvfbServer>();
    }
    static void TearDownTestSuite() { screen.reset(); }
    void SetUp() override
    {
        if (!PulseServer::missing().empty()) GTEST_SKIP() << PulseServer::missing();
        putShowImages(dir.path());
        Tone silent;
        silent.seconds = ClicksSeconds;
        silent.leftHz = silent.rightHz = 0;
        writeToneWav(clicks, silent, Clicks);
    }
    // As from a terminal: SDL catches the stop signals, and the show ends on them as on Escape.
    ProcessOptions options(const PulseServer& server) const
    {
        ProcessOptions o = screen->showOptions(dir.path(), 120);
        o.env.erase("SDL_NO_SIGNAL_HANDLERS");
        o.unsetEnv.push_back("SDL_NO_SIGNAL_HANDLERS");
        server.applyTo(o);
        return o;
    }
    // Plays the clicks into the server's default sink, as any desktop player would.
    void playClicks(const PulseServer& server) const
    {
        ProcessOptions o;
        server.applyTo(o);
        ASSERT_EQ(runProcess({"paplay", clicks}, o).exitCode, 0);
    }
    // Until the log holds that many frames (the show is drawing); false after 30 s.
    bool waitForFrames(int frames) const
    {
        for (int i = 0; i < 300; ++i) {
            int n = 0;
            for (const std::string& l : linesOf(readFile(events))) n += l.find("\"event\":\"frame\"") != std::string::npos;
            if (n >= frames) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    TempDir dir;
    const std::string events = dir.file("events.jsonl");
    const std::string clicks = dir.file("clicks.wav");
    static std::unique_ptr<XvfbServer> screen;
};
std::unique_ptr<XvfbServer> ListenEndToEnd::screen;
}  // namespace

TEST_F(ListenEndToEnd, ClicksPlayedOnTheDesktopAreTheCuesAtTheirSpacing)
{
    PulseServer server;
    const double before = double(std::time(nullptr));
    Process show({ListenBinary, "--events", events}, options(server));
    ASSERT_TRUE(waitForFrames(10)) << "the show is not drawing";
    playClicks(server);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(show.pid(), SIGTERM);
    const ProcessResult r = show.wait();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");

    const std::vector<std::string> lines = linesOf(readFile(events));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].rfind("{\"event\":\"listen\",\"source\":\"" + server.sinkName() + ".monitor\",\"startedAt\":", 0), 0u)
        << lines[0];
    EXPECT_NEAR(numberAfter(lines[0], "startedAt"), before, 10);
    const std::vector<double> cues = cueTimes(lines);
    ASSERT_EQ(cues.size(), Clicks.size());
    for (size_t i = 1; i < cues.size(); ++i)
        EXPECT_NEAR(cues[i] - cues[0], Clicks[i] - Clicks[0], 0.01) << "click " << i << ", sample time at the server";
    int spawns = 0;
    for (const std::string& l : lines) spawns += l.find("Frag\"") != std::string::npos && l.find("TexFrag") == std::string::npos;
    EXPECT_GT(spawns, 0) << "no spectrum-driven spawn";
}

TEST_F(ListenEndToEnd, AMissingSourceOrServerIsOneLineAndStatusOne)
{
    PulseServer server;
    ProcessResult r = runProcess({ListenBinary, "line-in"}, options(server));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "show: can't listen to 'line-in': the sound server has no source named 'line-in'\n");
    EXPECT_EQ(r.out, "");

    ProcessOptions nowhere = options(server);
    nowhere.env["PULSE_SERVER"] = "unix:" + dir.file("no-server");
    r = runProcess({ListenBinary}, nowhere);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "show: can't listen: no sound server answers (PulseAudio, or PipeWire's pulse server)\n");
}

TEST_F(ListenEndToEnd, AServerThatGoesAwayIsToldOnceAndHeardAgainWhenBack)
{
    PulseServer server;
    Process show({ListenBinary, "--events", events}, options(server));
    ASSERT_TRUE(waitForFrames(10));
    server.stop();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(show.running()) << "the show stopped with the server";
    server.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));   // a retry a second
    playClicks(server);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(show.pid(), SIGTERM);
    const ProcessResult r = show.wait();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "show: the sound server went away; listening again once it is back\n"
                     "show: listening to '" + server.sinkName() + ".monitor' again\n");
    const std::vector<std::string> lines = linesOf(readFile(events));
    EXPECT_GE(cueTimes(lines).size(), Clicks.size() - 1) << "the clicks after the server came back";
    // The music clock ran on through the silence: the last frame's time is the whole run's.
    double last = 0;
    for (const std::string& l : lines)
        if (l.find("\"event\":\"frame\"") != std::string::npos) last = numberAfter(l, "musicTime");
    EXPECT_GT(last, 3 + 1.5 + ClicksSeconds);
}
