// What a media player announces, heard over a private session bus: scripted players (Python's D-Bus
// binding) announce tracks; the watch names the playing player's track, follows it to the next,
// falls back to a paused player when the playing one leaves, and says when none is left.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "desktop/mpris_watch.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {
const std::string Player = std::string(SHOW_SOURCE_DIR) + "/tests/support/mpris_player.py";
const std::string Python = "/usr/bin/python3";   // Debian's, whose modules python3-dbus and python3-gi are

// The next change within a few seconds; a player with no name when none came.
NowPlaying nextChange(MprisWatch& watch)
{
    NowPlaying now;
    now.player = "(no change)";
    for (int i = 0; i < 60; ++i) {
        if (watch.changed(now)) return now;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return now;
}
}  // namespace

TEST(MprisWatch, FollowsThePlayingPlayersTrackAndFallsBack)
{
    if (!commandExists("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed (./setup.sh --test installs it)";
    if (runProcess({Python, "-c", "import dbus, gi"}).exitCode != 0) GTEST_SKIP() << "python3-dbus and python3-gi are missing";
    TempDir dir;
    const std::string address = "unix:path=" + dir.file("bus");
    Process bus({"dbus-daemon", "--session", "--nofork", "--address=" + address});
    for (int i = 0; i < 100 && access(dir.file("bus").c_str(), F_OK) != 0; ++i) usleep(50 * 1000);
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    ProcessOptions options;
    options.env["DBUS_SESSION_BUS_ADDRESS"] = address;

    // The watch and its thread end before the bus's address leaves the environment it reads.
    {
        auto paused = std::make_unique<Process>(std::vector<std::string>{Python, Player, "paused", "Paused", "60", "Kept|Somebody|B-sides"}, options);
        auto playing = std::make_unique<Process>(
            std::vector<std::string>{Python, Player, "playing", "Playing", "3", "Première|Ünal & Co|Α Album", "60", "Second|Two; Three|X"},
            options);
        MprisWatch watch;
        NowPlaying now = nextChange(watch);
        EXPECT_EQ(now.player, "org.mpris.MediaPlayer2.playing");
        EXPECT_EQ(now.title, "Première");
        EXPECT_EQ(now.artist, "Ünal & Co");
        EXPECT_EQ(now.album, "Α Album");

        now = nextChange(watch);
        EXPECT_EQ(now.title, "Second") << "the next track";
        EXPECT_EQ(now.artist, "Two; Three");

        kill(playing->pid(), SIGTERM);
        playing.reset();
        now = nextChange(watch);
        EXPECT_EQ(now.player, "org.mpris.MediaPlayer2.paused");
        EXPECT_EQ(now.title, "Kept");

        kill(paused->pid(), SIGTERM);
        paused.reset();
        now = nextChange(watch);
        EXPECT_EQ(now.player, "") << "no player left";
    }
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    kill(bus.pid(), SIGTERM);
}
