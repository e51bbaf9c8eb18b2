// PlaybackTap: the callback-to-main-thread publication. Readers racing the writer must never see a
// count from one hand-over with the time of another, nor a history window the writer has lapped.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "desktop/playback_tap.h"

namespace {
// Channel 0 carries the frame's own index, channel 1 something else, so any copy can be checked.
void appendCounting(PlaybackTap& tap, uint64_t& next, size_t frames)
{
    std::vector<float> interleaved(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = float((next + i) % (1u << 24));
        interleaved[2 * i + 1] = -1.0f;
    }
    tap.append(interleaved.data(), frames, 2);
    next += frames;
}
}  // namespace

TEST(PlaybackTap, PublishesChannelZeroOnlyAndOnlyWhenPublished)
{
    PlaybackTap tap;
    uint64_t next = 0;
    float out[4];
    EXPECT_EQ(tap.latest().timeNs, 0);
    appendCounting(tap, next, 100);
    EXPECT_FALSE(tap.copyChannel0(96, 4, out)) << "appended but not yet published";
    tap.publish(1234, 0);
    EXPECT_EQ(tap.latest().frames, 100u);
    EXPECT_EQ(tap.latest().timeNs, 1234);
    ASSERT_TRUE(tap.copyChannel0(96, 4, out));
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{96, 97, 98, 99}));
    tap.appendSilence(10);
    tap.publish(2000, 0);
    ASSERT_TRUE(tap.copyChannel0(98, 4, out));
    EXPECT_EQ(std::vector<float>(out, out + 4), (std::vector<float>{98, 99, 0, 0}));
}

TEST(PlaybackTap, RefusesFramesAlreadyOverwritten)
{
    PlaybackTap tap;
    uint64_t next = 0;
    appendCounting(tap, next, PlaybackTap::HistoryFrames + 600);
    tap.publish(1, 0);
    std::vector<float> out(512);
    EXPECT_FALSE(tap.copyChannel0(500, 512, out.data()));
    ASSERT_TRUE(tap.copyChannel0(700, 512, out.data()));
    EXPECT_EQ(out[0], 700.0f);
    EXPECT_EQ(out[511], 1211.0f);
}

TEST(PlaybackTap, ConcurrentReadersSeeConsistentPairsAndWindows)
{
    PlaybackTap tap;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        uint64_t next = 0;
        for (int k = 1; k <= 200000; ++k) {
            appendCounting(tap, next, 1 + size_t(k % 700));
            tap.publish(int64_t(next) * 3 + 7, uint32_t(next % 1000));   // time and latency encode the count
        }
        done = true;
    });
    std::vector<float> window(512);
    long torn = 0, wrongWindows = 0, windows = 0;
    while (!done) {
        const TapReading r = tap.latest();
        if (r.timeNs != 0 && (r.timeNs != int64_t(r.frames) * 3 + 7 || r.latencyFrames != r.frames % 1000)) ++torn;
        // Windows near the head (usually fine) and far behind it (often lapped, must be refused).
        for (uint64_t behind : {uint64_t(600), uint64_t(PlaybackTap::HistoryFrames - 200)}) {
            if (r.frames < behind + 512) continue;
            const uint64_t first = r.frames - behind;
            if (!tap.copyChannel0(first, 512, window.data())) continue;
            ++windows;
            for (size_t i = 0; i < 512; ++i) {
                if (window[i] != float((first + i) % (1u << 24))) {
                    ++wrongWindows;
                    break;
                }
            }
        }
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(wrongWindows, 0) << "of " << windows << " accepted windows";
    EXPECT_GT(windows, 0);
}
