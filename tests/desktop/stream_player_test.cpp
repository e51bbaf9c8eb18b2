// StreamPlayer without a device: the callback is called by hand with made-up times, so the output,
// the play clock and the live spectrum can be checked exactly against the whole decoded track.
#include <gtest/gtest.h>

#include <vector>

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/music_errors.h"
#include "desktop/silent_clock.h"
#include "desktop/stream_player.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"

namespace {
constexpr size_t Buffer = 1024;
constexpr int64_t BufferNs = int64_t(Buffer) * 1'000'000'000 / MusicSampleRate;
}  // namespace

TEST(PlayClock, EstimateSubtractsLatencyAdvancesWithTimeAndStopsAtWhatWasHanded)
{
    EXPECT_EQ(estimatePlayFrame({0, 0, 1024}, 5'000'000'000), 0u) << "nothing handed over yet";
    const TapReading r{10240, 1'000'000'000, 1024};
    EXPECT_EQ(estimatePlayFrame(r, 1'000'000'000), 9216u);
    EXPECT_EQ(estimatePlayFrame(r, 1'010'000'000), 9216u + 441u);   // 10 ms later
    EXPECT_EQ(estimatePlayFrame(r, 2'000'000'000), 10240u) << "never past the hand-over";
    EXPECT_EQ(estimatePlayFrame(r, 900'000'000), 9216u) << "a clock read before the stamp";
    EXPECT_EQ(estimatePlayFrame({512, 1, 1024}, 1), 0u) << "less handed than the latency";
}

TEST(PlayClock, DeviceSamplesClipAndRound)
{
    EXPECT_EQ(toDeviceSample(0.0f), 0);
    EXPECT_EQ(toDeviceSample(0.5f), 16384);
    EXPECT_EQ(toDeviceSample(-1.0f), -32768);
    EXPECT_EQ(toDeviceSample(1.0f), 32767);
    EXPECT_EQ(toDeviceSample(3.0f), 32767);
    EXPECT_EQ(toDeviceSample(-3.0f), -32768);
}

// After a lost sound server the position runs on by what the silent clock hands over.
TEST(PlayClock, SilentClockKeepsTheRealPaceInBoundedSteps)
{
    SilentPace pace;
    EXPECT_EQ(pace.step(0.0), 0u);
    size_t total = 0;
    for (int i = 0; i < 100; ++i) total += pace.step(0.0105);   // 463.05 frames a step: fractions carried
    EXPECT_EQ(total, 46305u);
    // A step 1 s late hands over at most one callback's worth and catches up over the next ones.
    size_t late = pace.step(1.0);
    EXPECT_EQ(late, StreamPlayer::MaxCallbackFrames);
    for (int i = 0; i < 6; ++i) {
        const size_t frames = pace.step(0.01);
        EXPECT_LE(frames, StreamPlayer::MaxCallbackFrames);
        late += frames;
    }
    EXPECT_EQ(late, 44100u + 6 * 441u);
}

class StreamPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(lameMissing(), "");
        Tone tone;
        tone.seconds = 1.0;   // fits the ring whole, so one prefill decodes all of it
        tone.leftHz = 345;
        tone.rightHz = 1000;
        track = makeToneMp3(dir.path(), "t.mp3", tone);
        ASSERT_EQ(decodeTrack(track.c_str(), decoded), MusicOk);
    }
    TempDir dir;
    std::string track;
    DecodedTrack decoded;
};

TEST_F(StreamPlayerTest, HandsOutTheDecodedTrackThenCountedSilence)
{
    StreamPlayer player;
    ASSERT_EQ(player.open(track.c_str()), MusicOk);
    ASSERT_EQ(player.trackFrames(), decoded.frames());
    player.prefill(StreamPlayer::RingFrames);

    std::vector<int16_t> out;
    std::vector<int16_t> buffer(Buffer * 2);
    uint64_t lastPosition = 0;
    int64_t now = 1'000'000'000;
    for (int k = 0; k < 60; ++k) {   // 1.39 s: past the end
        player.fill(buffer.data(), Buffer, now, 0);
        out.insert(out.end(), buffer.begin(), buffer.end());
        for (int64_t step = 0; step < BufferNs; step += BufferNs / 4) {
            const uint64_t position = player.playFrame(now + step);
            ASSERT_GE(position, lastPosition);
            ASSERT_LE(position, player.trackFrames());
            lastPosition = position;
        }
        now += BufferNs;
    }
    for (size_t i = 0; i < decoded.samples.size(); ++i) {
        ASSERT_EQ(out[i], toDeviceSample(decoded.samples[i])) << "sample " << i;
    }
    for (size_t i = decoded.samples.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "sample " << i;
    EXPECT_EQ(player.tap().latest().frames, 60 * Buffer) << "silence after the end counts as played";
    EXPECT_EQ(player.playFrame(now), player.trackFrames());
    EXPECT_EQ(player.underrunFrames(), 0u);
}

TEST_F(StreamPlayerTest, UnderrunPlaysSilenceWithoutMovingThePosition)
{
    StreamPlayer player;
    ASSERT_EQ(player.open(track.c_str()), MusicOk);
    std::vector<int16_t> buffer(Buffer * 2, 77);
    player.fill(buffer.data(), Buffer, 1'000'000'000, 0);
    EXPECT_EQ(buffer, std::vector<int16_t>(Buffer * 2, 0));
    EXPECT_EQ(player.underrunFrames(), Buffer);
    EXPECT_EQ(player.playFrame(2'000'000'000), 0u);

    ASSERT_TRUE(player.decodeStep());
    player.fill(buffer.data(), Buffer, 2'000'000'000, 0);
    EXPECT_EQ(buffer[200], toDeviceSample(decoded.samples[200]));
    EXPECT_EQ(player.tap().latest().frames, Buffer);
}

TEST_F(StreamPlayerTest, LatencyIsWhatWasQueuedPlusEveryPieceOfALongWrite)
{
    StreamPlayer player;
    ASSERT_EQ(player.open(track.c_str()), MusicOk);
    player.prefill(StreamPlayer::RingFrames);
    const size_t frames = 2 * StreamPlayer::MaxCallbackFrames + 100;   // published in three pieces
    std::vector<int16_t> buffer(frames * 2);
    player.fill(buffer.data(), frames, 1'000'000'000, 500);
    EXPECT_EQ(player.tap().latest().latencyFrames, 500 + frames);
    EXPECT_EQ(player.playFrame(1'000'000'000), 0u) << "nothing of it heard yet";
    player.fill(buffer.data(), 100, 2'000'000'000, StreamPlayer::MaxLatencyFrames);
    EXPECT_EQ(player.tap().latest().latencyFrames, StreamPlayer::MaxLatencyFrames) << "kept within the history";
}

TEST_F(StreamPlayerTest, LiveSpectrumEqualsTheOfflineOneAtTheSameFrame)
{
    StreamPlayer player;
    ASSERT_EQ(player.open(track.c_str()), MusicOk);
    player.prefill(StreamPlayer::RingFrames);
    std::vector<int16_t> buffer(Buffer * 2);
    for (int k = 0; k < 10; ++k) player.fill(buffer.data(), Buffer, 1 + k * BufferNs, 0);

    SpectrumAnalyser analyser;
    float live[AnalysisBins], offline[AnalysisBins];
    // What the show's music analyses: channel 0 of what was handed over, from the player's history.
    const auto liveSpectrum = [&](uint64_t frame) {
        const auto handedOver = [&](uint64_t first, size_t count, float* out) { return player.tap().copyChannel0(first, count, out); };
        return analyseAtFrame(analyser, frame, player.trackFrames(), handedOver, live);
    };
    for (uint64_t frame : {uint64_t(100), uint64_t(5000), uint64_t(10 * Buffer)}) {
        ASSERT_TRUE(liveSpectrum(frame)) << frame;
        spectrumAtFrame(decoded, frame, analyser, offline);
        for (int k = 0; k < AnalysisBins; ++k) ASSERT_EQ(live[k], offline[k]) << "frame " << frame << " entry " << k;
    }
    EXPECT_FALSE(liveSpectrum(10 * Buffer + 1)) << "not handed over yet";
    for (int k = 10; k < 140; ++k) player.fill(buffer.data(), Buffer, 1 + k * BufferNs, 0);
    EXPECT_FALSE(liveSpectrum(5000)) << "long overwritten";
}
