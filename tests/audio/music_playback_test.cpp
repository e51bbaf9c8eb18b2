// The music API on SDL's dummy driver (real time, no sound card): the position against the wall
// clock, its end, the length and the live spectrum. Also prints the measured drift and latency.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "audio/decoded_track.h"
#include "audio/music.h"
#include "desktop/stream_music.h"
#include "audio/music_errors.h"
#include "desktop/stream_player.h"
#include "desktop/sdl_audio_output.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"

namespace {
const double BufferMs = MusicDeviceBufferFrames * 1000.0 / MusicSampleRate;

struct Sample {
    double elapsedMs;
    uint32_t positionMs;
};
}  // namespace

class MusicPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lameMissing(), "");
        setenv("SDL_AUDIODRIVER", "dummy", 1);   // the tolerances below are for its clock
    }
    TempDir dir;
};

TEST_F(MusicPlaybackTest, PositionFollowsTheWallClockAndReachesTheLength)
{
    const std::string track = makeToneMp3(dir.path(), "six.mp3", Tone{});
    initMusic(track.c_str());
    const double start = monotonicSeconds();
    const uint32_t length = musicLength();
    std::vector<Sample> samples;
    for (;;) {
        const double elapsedMs = (monotonicSeconds() - start) * 1000;
        if (elapsedMs > length + 400) break;
        samples.push_back({elapsedMs, musicPosition()});
        ASSERT_EQ(musicLength(), length) << "the length is fixed once open";
        struct timespec nap = {0, 2'000'000};
        nanosleep(&nap, nullptr);
    }
    const uint64_t underruns = musicUnderrunFrames();
    closeMusic();

    EXPECT_NEAR(length, 6000, 1);
    double firstMoving = -1, reachedEnd = -1, offsetSum = 0;
    int offsetCount = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const Sample& s = samples[i];
        if (i > 0) {
            ASSERT_GE(s.positionMs, samples[i - 1].positionMs) << "at " << s.elapsedMs << " ms";
        }
        if (firstMoving < 0 && s.positionMs > 0) firstMoving = s.elapsedMs;
        if (reachedEnd < 0 && s.positionMs >= length) reachedEnd = s.elapsedMs;
        if (reachedEnd >= 0) {
            EXPECT_GE(s.positionMs, length) << "stays at the end, at " << s.elapsedMs << " ms";
        }
        // Unpausing lands anywhere in the buffer the paused device is playing, so the music starts up to
        // one buffer late; beyond that, drift stays within 2 % once five seconds have played.
        if (s.elapsedMs >= 5000 && s.positionMs < length) {
            EXPECT_LE(s.positionMs, s.elapsedMs * 1.02) << "at " << s.elapsedMs << " ms";
            EXPECT_GE(s.positionMs, s.elapsedMs * 0.98 - BufferMs) << "at " << s.elapsedMs << " ms";
        }
        if (s.elapsedMs >= 1000 && s.positionMs < length) {
            offsetSum += s.elapsedMs - s.positionMs;
            ++offsetCount;
        }
    }
    ASSERT_GE(reachedEnd, 0) << "never reached the length";
    EXPECT_LE(reachedEnd, length + BufferMs + 100.0);

    // Rate over five seconds of steady playback.
    auto at = [&samples](double ms) {
        return *std::find_if(samples.begin(), samples.end(), [ms](const Sample& s) { return s.elapsedMs >= ms; });
    };
    const Sample a = at(500), b = at(5500);
    const double rate = double(b.positionMs - a.positionMs) / (b.elapsedMs - a.elapsedMs);
    EXPECT_NEAR(rate, 1.0, 0.02);
    std::printf("measured: rate %.4f (drift %+.2f %%), wall clock ahead of position by %.1f ms on average, "
                "position moving %.1f ms after initMusic, length reached %.1f ms after the track's length, "
                "%llu underrun frames\n",
                rate, (rate - 1) * 100, offsetSum / offsetCount, firstMoving, reachedEnd - length,
                (unsigned long long)underruns);
}

TEST_F(MusicPlaybackTest, LiveSpectrumFollowsChannelZeroAndIsSilentAfterTheEnd)
{
    Tone tone;
    tone.seconds = 2;
    tone.leftHz = 345;     // entry 4
    tone.rightHz = 1034;   // entry 12: must not show
    const std::string track = makeToneMp3(dir.path(), "two.mp3", tone);
    initMusic(track.c_str());
    int framesWithTone = 0, framesWithRightChannel = 0;
    while (musicPosition() < musicLength()) {
        fetchSpectrum();
        const uint32_t position = musicPosition();
        if (position > 100 && position < 1900) {
            const int peak = int(std::max_element(spectrum, spectrum + 128) - spectrum);
            if (peak == 4 && spectrum[4] > 0.3f) ++framesWithTone;
            if (spectrum[12] > 0.05f) ++framesWithRightChannel;
        }
        struct timespec nap = {0, 5'000'000};
        nanosleep(&nap, nullptr);
    }
    fetchSpectrum();
    const float loudest = *std::max_element(spectrum, spectrum + SpectrumSize);
    closeMusic();
    EXPECT_GT(framesWithTone, 100);
    EXPECT_EQ(framesWithRightChannel, 0);
    EXPECT_EQ(loudest, 0.0f) << "all zeros once the track has ended";
}

TEST_F(MusicPlaybackTest, DiskDriverReceivesTheDecodedTrackSampleForSample)
{
    Tone tone;
    tone.seconds = 3;
    tone.leftHz = 440;
    tone.rightHz = 660;
    const std::string track = makeToneMp3(dir.path(), "three.mp3", tone);
    const std::string raw = dir.file("out.raw");
    // In a child, so the driver choice stays out of this process.
    const ProcessResult run = runInChild([&] {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "5", 1);
        initMusic(track.c_str());
        while (musicPosition() < musicLength()) {
            struct timespec nap = {0, 1'000'000};
            nanosleep(&nap, nullptr);
        }
        closeMusic();
    });
    ASSERT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out, "");

    DecodedTrack decoded;
    ASSERT_EQ(decodeTrack(track.c_str(), decoded), MusicOk);
    const std::vector<int16_t> written = readRawSamples(raw);
    // SDL writes whole buffers of silence while the device is open but not yet unpaused; the music
    // starts at the first buffer the callback filled.
    constexpr size_t BufferSamples = 1024 * 2;
    size_t start = 0;
    auto matchesFrom = [&](size_t at) {
        if (written.size() < at + decoded.samples.size()) return false;
        for (size_t i = 0; i < decoded.samples.size(); ++i) {
            if (written[at + i] != toDeviceSample(decoded.samples[i])) return false;
        }
        return true;
    };
    auto silentBuffer = [&](size_t at) {
        return at + BufferSamples <= written.size() &&
               std::all_of(written.begin() + long(at), written.begin() + long(at + BufferSamples),
                           [](int16_t v) { return v == 0; });
    };
    while (!matchesFrom(start) && silentBuffer(start)) start += BufferSamples;
    ASSERT_TRUE(matchesFrom(start)) << "no alignment after " << start / BufferSamples << " silent buffers";
    for (size_t i = start + decoded.samples.size(); i < written.size(); ++i) ASSERT_EQ(written[i], 0) << "sample " << i;
}
