// SampleRing: order and counts across wrap-around, partial transfers at the edges, and a producer and
// consumer on two threads that must see every sample once, in order.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "desktop/sample_ring.h"

TEST(SampleRing, TransfersArePartialAtFullAndEmpty)
{
    SampleRing ring(6);   // rounds up to 8
    ASSERT_EQ(ring.capacity(), 8u);
    std::vector<float> in = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(ring.write(in.data(), 10), 8u);
    EXPECT_EQ(ring.writable(), 0u);
    EXPECT_EQ(ring.write(in.data(), 1), 0u);

    std::vector<float> out(10, -1);
    EXPECT_EQ(ring.read(out.data(), 3), 3u);
    EXPECT_EQ(ring.readable(), 5u);
    EXPECT_EQ(ring.read(out.data() + 3, 10), 5u);
    EXPECT_EQ(ring.read(out.data(), 1), 0u);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 8), std::vector<float>(in.begin(), in.begin() + 8));
    EXPECT_EQ(out[8], -1);   // a short read leaves the rest alone
}

TEST(SampleRing, KeepsOrderAcrossManyWraps)
{
    SampleRing ring(16);
    float next = 0, expected = 0;
    std::vector<float> chunk(7), out(16);
    for (int round = 0; round < 1000; ++round) {
        const size_t n = size_t(round % 7) + 1;
        for (size_t i = 0; i < n; ++i) chunk[i] = next + float(i);
        next += float(ring.write(chunk.data(), n));
        const size_t got = ring.read(out.data(), size_t(round % 5) + 1);
        for (size_t i = 0; i < got; ++i) ASSERT_EQ(out[i], expected++) << "round " << round;
        ASSERT_EQ(ring.readable() + ring.writable(), ring.capacity());
    }
}

TEST(SampleRing, TwoThreadsSeeEverySampleOnceInOrder)
{
    SampleRing ring(1024);
    constexpr int Total = 4'000'000;
    std::thread producer([&ring] {
        std::vector<float> chunk(300);
        int next = 0;
        while (next < Total) {
            const size_t n = std::min<size_t>(size_t(next % 300) + 1, size_t(Total - next));
            for (size_t i = 0; i < n; ++i) chunk[i] = float((next + int(i)) % 65536);
            next += int(ring.write(chunk.data(), n));
        }
    });
    std::vector<float> out(257);
    int seen = 0;
    bool inOrder = true;
    while (seen < Total && inOrder) {
        const size_t got = ring.read(out.data(), size_t(seen % 257) + 1);
        for (size_t i = 0; i < got; ++i) inOrder = inOrder && out[i] == float((seen + int(i)) % 65536);
        seen += int(got);
    }
    producer.join();
    EXPECT_TRUE(inOrder) << "after " << seen << " samples";
    EXPECT_EQ(seen, Total);
}
