// The music through a real PulseAudio server (private, null sink, started here; needs no sound card),
// with the audio thread held up now and then as a busy machine holds it up (the sink's monitor shows
// what the server really played: the audio queued ahead must outlast each delay), and with the server
// going away mid-show.
#include <gtest/gtest.h>

#include <signal.h>
#include <time.h>

#include "audio/music.h"
#include "desktop/stream_music.h"
#include "support/process.h"
#include "support/sound_server.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"

namespace {
// Every half second of wall clock the next callback comes 150, 200 or 250 ms late, in turn: the
// longest stalls a -j4 build beside the show produced on two cores were 218-272 ms.
void lateNowAndThen()
{
    static double lastDelay = monotonicSeconds();
    static int turn = 0;
    if (monotonicSeconds() - lastDelay < 0.5) return;
    const long ms = 150 + 50 * (turn++ % 3);
    struct timespec nap = {0, ms * 1'000'000};
    nanosleep(&nap, nullptr);
    lastDelay = monotonicSeconds();
}

// In the child: the music through the server, and waiting (without spinning) for its position.
void playThroughServer(const PulseServer& server, const std::string& track)
{
    server.applyToThisProcess();
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
    initMusic(track.c_str());
}

void waitForPosition(uint32_t ms)
{
    while (musicPosition() < ms) {
        struct timespec nap = {0, 5'000'000};
        nanosleep(&nap, nullptr);
    }
}
}  // namespace

class MusicServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!PulseServer::missing().empty()) GTEST_SKIP() << PulseServer::missing();
        ASSERT_EQ(lameMissing(), "");
    }
    std::string toneTrack(double seconds)
    {
        Tone tone;
        tone.seconds = seconds;
        return makeToneMp3(dir.path(), "tone.mp3", tone);
    }
    TempDir dir;
};

TEST_F(MusicServerTest, LateCallbacksLeaveNoHoleInWhatTheServerPlays)
{
    const std::string track = toneTrack(5);
    PulseServer server;
    MonitorRecording recording(server, dir.file("monitor.raw"));

    const ProcessResult run = runInChild([&] {
        setAudioCallbackHook(lateNowAndThen);
        playThroughServer(server, track);
        waitForPosition(musicLength());
        // Until the last of the music has left the server, so the recording holds all of it.
        struct timespec drain = {0, 500'000'000};
        nanosleep(&drain, nullptr);
        closeMusic();
    });
    const std::vector<int16_t> played = recording.stop();
    ASSERT_EQ(run.exitCode, 0) << run.out;

    // The tone never falls silent for two frames running; an underrun is silence of a millisecond or more.
    const std::vector<Hole> holes = silentHoles(played, 2, 44);
    size_t heard = 0;
    for (int16_t s : played) heard += s != 0;
    ASSERT_GT(heard, size_t(2 * 44100 * 4.5)) << "the monitor recorded too little of the track";
    for (const Hole& h : holes) {
        ADD_FAILURE() << "silence of " << h.frames * 1000.0 / 44100 << " ms at " << h.startFrame / 44100.0
                      << " s of the recording";
    }
}

TEST_F(MusicServerTest, ServerGoneMidShowLeavesTheClockRunningToTheEnd)
{
    const std::string track = toneTrack(3);
    PulseServer server;

    // Past a fixed end the child is stopped: a clock that froze with the server fails here.
    const ProcessResult run = runInChild(
        [&] {
            playThroughServer(server, track);
            waitForPosition(500);
            kill(server.pid(), SIGKILL);
            waitForPosition(musicLength());
            closeMusic();
        },
        10);
    EXPECT_EQ(run.exitCode, 0) << run.out;
}
