// Spectrum spawning without GL: band strengths, the strict thresholds and time gates, the rate
// limits, and the exact draws each spawn makes, in order.
#include <cmath>
#include <cstring>

#include "timeline/spawner.h"
#include "timeline_fixture.h"

namespace {
// A spectrum whose peak (entry 0) is 256, so a band's strength is its own value.
struct Spectrum {
    float v[256] = {};
    Spectrum() { v[0] = 256; }
    Spectrum& band(int k, float strength)
    {
        v[k] = strength;
        return *this;
    }
};
Spectrum allStrong() { return Spectrum().band(GridBand, 200).band(ElectroBand, 200).band(BezierBand, 200); }

uint32_t advanced(uint32_t state, int steps)
{
    const uint32_t saved = randomState();
    setRandomState(state);
    for (int i = 0; i < steps; ++i) nextRandom();
    const uint32_t out = randomState();
    setRandomState(saved);
    return out;
}

// The grid's draws in their documented order: offsets, one unused value, then per place one test
// draw and, when filled, the small circle's three and the large circle's five; then its position.
struct ReplayedGrid {
    std::vector<GridCell> cells;
    size_t index;
};
ReplayedGrid replayGrid(size_t listLength)
{
    ReplayedGrid g;
    const float offX = randomRange(-180, 424);
    const float offY = randomRange(-180, 168);
    random01();
    for (int r = 0; r < 600; r += 60) {
        for (int c = 0; c < 600; c += 60) {
            if (randomFloat(2) < 1.7f) continue;
            const float x = (offX + float(c)) - 300, y = (float(r) + offY) - 300;
            GridCell small;
            small.alpha = random01();
            small.colorIndex = int(randomInt(6));
            small.radius = randomFloat(60);
            small.x = x, small.y = y;
            GridCell large;
            large.alpha = random01();
            large.colorIndex = int(randomInt(6));
            large.radius = randomFloat(90);
            const float jy = randomRange(-5, 5);
            const float jx = randomRange(-5, 5);
            large.x = x + jx, large.y = y + jy;
            g.cells.push_back(small);
            g.cells.push_back(large);
        }
    }
    g.index = size_t(randomFloat(float(listLength)));
    return g;
}

// The spark's seven draws in their documented order, then its position.
struct ReplayedSpark {
    int point, texture, colour;
    float angle, spin, scale, growth;
    size_t index;
};
ReplayedSpark replaySpark(size_t listLength)
{
    ReplayedSpark k;
    k.point = int(randomInt(8));
    const float r = random01();
    k.texture = r < 0.1f ? int(randomInt(2)) : int(randomInt(4)) + 2;
    k.colour = int(randomFloat(5));
    k.angle = randomFloat(360);
    k.spin = randomRange(-20, 20);
    k.scale = randomRange(1, 3);
    k.growth = randomRange(1, 1.1f);
    k.index = size_t(randomFloat(float(listLength)));
    return k;
}

class Spawning : public TimelineTest {
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        TestClockMs = 100000;  // far past every rate limit
    }
    size_t count(FragmentKind kind) const
    {
        size_t n = 0;
        for (const Created& c : events.created) n += c.kind == kind;
        return n;
    }
};
}  // namespace

TEST_F(Spawning, PeakIsTheLargestOfZeroAndTheFirst128Entries)
{
    float s[256] = {};
    EXPECT_EQ(spectrumPeak(s), 0.0f);
    s[200] = 50;  // above the first 128: ignored
    s[127] = 3;
    s[10] = 2;
    EXPECT_EQ(spectrumPeak(s), 3.0f);
    for (float& v : s) v = -1;
    EXPECT_EQ(spectrumPeak(s), 0.0f);

    float t[256] = {};
    t[4] = 0.5f, t[2] = 0.25f;
    EXPECT_EQ(bandStrength(t, 4, spectrumPeak(t)), 256.0);
    EXPECT_EQ(bandStrength(t, 2, spectrumPeak(t)), 128.0);
    EXPECT_TRUE(std::isnan(bandStrength(s, 2, 0.0f)) || bandStrength(s, 2, 0.0f) < 0);
}

TEST_F(Spawning, SilenceAndAZeroPeakSpawnNothing)
{
    const uint32_t before = randomState();
    float silence[256] = {};
    spawnFromSpectrum(100, silence, 1024, 768);
    float negative[256];
    for (float& v : negative) v = -0.5f;
    spawnFromSpectrum(100, negative, 1024, 768);
    EXPECT_TRUE(ActiveFragments.empty());
    EXPECT_EQ(randomState(), before);
}

TEST_F(Spawning, StrengthAtTheThresholdDoesNotSpawnAndJustAboveDoes)
{
    const uint32_t before = randomState();
    spawnFromSpectrum(100, Spectrum().band(GridBand, 89).band(ElectroBand, 22).band(BezierBand, 50).v, 1024, 768);
    EXPECT_TRUE(ActiveFragments.empty());
    EXPECT_EQ(randomState(), before);

    const float above = 1.0001f;
    spawnFromSpectrum(100, Spectrum().band(GridBand, 89 * above).band(ElectroBand, 22 * above).band(BezierBand, 50 * above).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::CircleGrid), 1u);
    EXPECT_EQ(count(FragmentKind::Electro), 1u);
    EXPECT_EQ(count(FragmentKind::Bezier), 1u);
}

TEST_F(Spawning, ThePeakBandHasFullStrength)
{
    Spectrum s;
    s.v[0] = 1;
    s.v[ElectroBand] = 7;  // the loudest: strength 256
    spawnFromSpectrum(1, s.v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Electro), 1u);
}

TEST_F(Spawning, MusicTimeGatesAreStrictAndSinglePrecision258DoesNotPass)
{
    spawnFromSpectrum(18.0f, allStrong().v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::CircleGrid), 0u);
    EXPECT_EQ(count(FragmentKind::Electro), 1u);  // no time gate

    TestClockMs += 5000;
    ASSERT_LT(double(25.8f), 25.8);
    spawnFromSpectrum(25.8f, allStrong().v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::CircleGrid), 1u);
    EXPECT_EQ(count(FragmentKind::Bezier), 0u);

    TestClockMs += 5000;
    spawnFromSpectrum(std::nextafter(25.8f, 100.0f), allStrong().v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Bezier), 1u);
}

TEST_F(Spawning, BeforeEighteenSecondsOnlySparks)
{
    for (int frame = 0; frame < 1000; ++frame) {
        TestClockMs = 200000 + uint32_t(frame) * 17;
        spawnFromSpectrum(float(frame) * 0.017f, allStrong().v, 1024, 768);
    }
    EXPECT_EQ(count(FragmentKind::CircleGrid), 0u);
    EXPECT_EQ(count(FragmentKind::Bezier), 0u);
    EXPECT_GT(count(FragmentKind::Electro), 100u);
}

TEST_F(Spawning, ARateLimitIsAStrictGapInSinglePrecision)
{
    // Gaps of exactly 1 s, 0.1 s and 0.5 s do not allow a new spawn; one more tick does.
    LastSpawn.grid = 1.0f;
    LastSpawn.electro = 0.0f;
    LastSpawn.bezier = 0.25f;

    TestClockMs = 100;  // 0.1f - 0: exactly 0.1 in single precision
    spawnFromSpectrum(100, Spectrum().band(ElectroBand, 200).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Electro), 0u);
    TestClockMs = 101;
    spawnFromSpectrum(100, Spectrum().band(ElectroBand, 200).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Electro), 1u);
    EXPECT_EQ(LastSpawn.electro, 0.101f);

    TestClockMs = 750;
    spawnFromSpectrum(100, Spectrum().band(BezierBand, 200).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Bezier), 0u);
    TestClockMs = 751;
    spawnFromSpectrum(100, Spectrum().band(BezierBand, 200).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Bezier), 1u);
    EXPECT_EQ(LastSpawn.bezier, 0.751f);

    TestClockMs = 2000;
    spawnFromSpectrum(100, Spectrum().band(GridBand, 200).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::CircleGrid), 0u);
    TestClockMs = 2001;
    spawnFromSpectrum(100, Spectrum().band(GridBand, 200).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::CircleGrid), 1u);
    EXPECT_EQ(LastSpawn.grid, 2.001f);
}

TEST_F(Spawning, AtMostOneOfEachKindPerFrameAndEachRuleOnItsOwn)
{
    spawnFromSpectrum(100, allStrong().v, 1024, 768);
    spawnFromSpectrum(100, allStrong().v, 1024, 768);  // same clock: every gap is 0
    EXPECT_EQ(count(FragmentKind::CircleGrid), 1u);
    EXPECT_EQ(count(FragmentKind::Electro), 1u);
    EXPECT_EQ(count(FragmentKind::Bezier), 1u);

    // A failing grid rule does not stop the others.
    TestClockMs += 600;  // past the spark and stroke gaps, not the grid's
    spawnFromSpectrum(100, allStrong().v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::CircleGrid), 1u);
    EXPECT_EQ(count(FragmentKind::Electro), 2u);
    EXPECT_EQ(count(FragmentKind::Bezier), 2u);
}

TEST_F(Spawning, GridDrawsInTheDocumentedOrder)
{
    for (uint32_t seed : {SeededRandomState, 99u, 4000000000u}) {
        SCOPED_TRACE(seed);
        emptyShow();
        events = RecordingObserver();
        for (int i = 0; i < 4; ++i) ActiveFragments.push_back(std::make_unique<Fragment>(100.0f));

        setRandomState(seed);
        const ReplayedGrid want = replayGrid(4);
        const uint32_t after = randomState();

        setRandomState(seed);
        spawnCircleGrid(1024, 768);
        EXPECT_EQ(randomState(), after);
        // Independently of the order: 9 steps of set-up, 3 per place, 20 more per filled place and
        // 3 for the list position.
        EXPECT_EQ(after, advanced(seed, 9 + 300 + 20 * int(want.cells.size() / 2) + 3));

        ASSERT_EQ(events.grids.size(), 1u);
        const CircleGridFrag& g = events.grids[0];
        EXPECT_EQ(g.lifetime, 2.0f);
        EXPECT_EQ(events.created[0].at.index, want.index);
        EXPECT_EQ(events.created[0].at.lengthBefore, 4u);
        ASSERT_EQ(g.cells.size(), want.cells.size());
        EXPECT_GT(g.cells.size(), 0u);
        for (size_t i = 0; i < g.cells.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(g.cells[i].x, want.cells[i].x);
            EXPECT_EQ(g.cells[i].y, want.cells[i].y);
            EXPECT_EQ(g.cells[i].radius, want.cells[i].radius);
            EXPECT_EQ(g.cells[i].colorIndex, want.cells[i].colorIndex);
            EXPECT_EQ(g.cells[i].alpha, want.cells[i].alpha);
        }
    }
}

TEST_F(Spawning, GridCellsComeInPairsOnA60PixelLattice)
{
    spawnCircleGrid(1024, 768);
    const CircleGridFrag& g = events.grids.at(0);
    ASSERT_EQ(g.cells.size() % 2, 0u);
    for (size_t i = 0; i < g.cells.size(); i += 2) {
        const GridCell& small = g.cells[i];
        const GridCell& large = g.cells[i + 1];
        EXPECT_LT(small.radius, 60);
        EXPECT_LT(large.radius, 90);
        EXPECT_LE(std::fabs(large.x - small.x), 5);
        EXPECT_LE(std::fabs(large.y - small.y), 5);
        EXPECT_GE(small.x, -480);
        EXPECT_LT(small.x, 1024 - 360);
        EXPECT_GE(small.y, -480);
        EXPECT_LT(small.y, 768 - 360);
        for (const GridCell& c : {small, large}) {
            EXPECT_GE(c.colorIndex, 0);
            EXPECT_LE(c.colorIndex, 5);
        }
        const float dx = small.x - g.cells[0].x, dy = small.y - g.cells[0].y;
        EXPECT_NEAR(std::remainder(dx, 60.0f), 0, 1e-3);
        EXPECT_NEAR(std::remainder(dy, 60.0f), 0, 1e-3);
    }
}

TEST_F(Spawning, GridWithoutCellsIsStillAddedAndStamped)
{
    // The shared generator can't leave all 100 places empty (at most 49 empty places in a row from
    // any state), so the hand-over is exercised directly with an empty grid.
    ActiveFragments.push_back(std::make_unique<Fragment>(100.0f));
    TestClockMs = 42000;
    placeCircleGrid(std::make_unique<CircleGridFrag>(2.0f));
    EXPECT_EQ(ActiveFragments.size(), 2u);
    EXPECT_EQ(LastSpawn.grid, 42.0f);
    ASSERT_EQ(events.grids.size(), 1u);
    EXPECT_TRUE(events.grids[0].cells.empty());
}

TEST_F(Spawning, SparkDrawsInTheDocumentedOrder)
{
    int rare = 0;  // sparks on the first two textures: the r < 0.1 branch
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        emptyShow();
        events = RecordingObserver();
        ActiveFragments.push_back(std::make_unique<Fragment>(100.0f));
        ActiveFragments.push_back(std::make_unique<Fragment>(100.0f));
        const uint32_t seed = 12345u + uint32_t(round) * 2654435761u;

        setRandomState(seed);
        const ReplayedSpark want = replaySpark(2);
        const uint32_t after = randomState();

        setRandomState(seed);
        TestClockMs = 7000;
        spawnElectro();
        EXPECT_EQ(randomState(), after);
        ASSERT_EQ(events.electros.size(), 1u);
        const ElectroFrag& e = events.electros[0];
        EXPECT_EQ(e.start, 7.0f);
        EXPECT_EQ(e.lifetime, 2.0f);
        EXPECT_EQ(e.pointIndex, want.point);
        EXPECT_EQ(e.textureIndex, want.texture);
        EXPECT_EQ(e.colorIndex, want.colour);
        EXPECT_EQ(e.angle, want.angle);
        EXPECT_EQ(e.spin, want.spin);
        EXPECT_EQ(e.scale, want.scale);
        EXPECT_EQ(e.growth, want.growth);
        EXPECT_EQ(events.created[0].at.index, want.index);
        EXPECT_EQ(LastSpawn.electro, 7.0f);
        rare += e.textureIndex < 2;
    }
    EXPECT_GT(rare, 0);  // both branches of the texture choice were taken
    EXPECT_LT(rare, 50);
}

TEST_F(Spawning, NewStrokeDrawsTwiceAndGoesToTheFront)
{
    for (int i = 0; i < 3; ++i) ActiveFragments.push_back(std::make_unique<Fragment>(100.0f));
    const uint32_t seed = randomState();
    const int curve = int(randomInt(9));
    const int colour = int(randomInt(5));
    const uint32_t after = randomState();
    setRandomState(seed);

    TestClockMs = 30000;
    spawnBezier();
    EXPECT_EQ(randomState(), after);
    ASSERT_EQ(events.beziers.size(), 1u);
    const BezierFrag& b = events.beziers[0];
    EXPECT_EQ(b.curveIndex, curve);
    EXPECT_EQ(b.colorIndex, colour);
    EXPECT_EQ(b.lifetime, 5.4f);
    EXPECT_EQ(b.start, 30.0f);
    EXPECT_EQ(events.created[0].at.index, 0u);
    EXPECT_EQ(events.created[0].at.lengthBefore, 3u);
    EXPECT_EQ(ActiveFragments.front().get(), events.created[0].fragment);
    EXPECT_EQ(LastSpawn.bezier, 30.0f);
}

TEST_F(Spawning, OneFrameDrawsGridThenSparkThenStroke)
{
    const uint32_t seed = randomState();
    const ReplayedGrid grid = replayGrid(0);
    const ReplayedSpark spark = replaySpark(1);
    const int curve = int(randomInt(9));
    const int colour = int(randomInt(5));
    const uint32_t after = randomState();
    setRandomState(seed);

    spawnFromSpectrum(100, allStrong().v, 1024, 768);
    EXPECT_EQ(randomState(), after);
    ASSERT_EQ(events.created.size(), 3u);
    EXPECT_EQ(events.created[0].kind, FragmentKind::CircleGrid);
    EXPECT_EQ(events.created[1].kind, FragmentKind::Electro);
    EXPECT_EQ(events.created[2].kind, FragmentKind::Bezier);
    EXPECT_EQ(events.created[0].at.lengthBefore, 0u);
    EXPECT_EQ(events.created[1].at.lengthBefore, 1u);
    EXPECT_EQ(events.created[1].at.index, spark.index);
    EXPECT_EQ(events.created[2].at.lengthBefore, 2u);
    EXPECT_EQ(ActiveFragments.front().get(), events.created[2].fragment);
    EXPECT_EQ(events.grids.at(0).cells.size(), grid.cells.size());
    EXPECT_EQ(events.electros.at(0).angle, spark.angle);
    EXPECT_EQ(events.beziers.at(0).curveIndex, curve);
    EXPECT_EQ(events.beziers.at(0).colorIndex, colour);
}

TEST_F(Spawning, SparksNeedAnchorPoints)
{
    ElectroPoints.clear();
    const uint32_t before = randomState();
    spawnFromSpectrum(1, Spectrum().band(ElectroBand, 200).v, 1024, 768);
    EXPECT_TRUE(ActiveFragments.empty());
    EXPECT_EQ(randomState(), before);
}

TEST_F(Spawning, OnAListenersTrackEachRuleAnswersEventsInItsBand)
{
    // 60 frames a second for 6 s, every band at a low bed from the start; from 1 s the spark band is
    // held up, or struck every half second, or silent. The strength rule would fire a spark at
    // every limit while the band is held; a listener's rules fire once, on the hits, or never.
    struct Case {
        const char* name;
        float (*sparkBand)(int frame);
        std::vector<int> sparkFrames;   // from 1 s on
    } cases[] = {
        {"held up", [](int f) { return f < 60 ? 0.01f : 0.3f; }, {60}},
        {"struck", [](int f) { return f >= 60 && f % 30 < 2 ? 0.3f : 0.01f; }, {60, 90, 120, 150, 180, 210, 240, 270, 300, 330}},
        {"silent", [](int f) { return f < 60 ? 0.01f : 0.0f; }, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        emptyShow();
        events = RecordingObserver();
        Gates = {0, 0, true};
        std::vector<int> sparks;
        for (int frame = 0; frame < 360; ++frame) {
            TestClockMs = 100000 + uint32_t(frame * 1000 / 60);
            const size_t before = events.created.size();
            Spectrum s;
            s.band(GridBand, 0.02f).band(ElectroBand, c.sparkBand(frame)).band(BezierBand, 0.02f);
            spawnFromSpectrum(float(frame * 1000 / 60) / 1000.0f, s.v, 1024, 768);
            for (size_t i = before; i < events.created.size(); ++i) {
                EXPECT_EQ(events.created[i].kind, FragmentKind::Electro) << "frame " << frame;
                if (frame >= 60) sparks.push_back(frame);
            }
        }
        EXPECT_EQ(sparks, c.sparkFrames);
    }
    Gates = SpawnGates();
}

TEST_F(Spawning, ANewShowForgetsWhatTheBandsHeard)
{
    Gates = {0, 0, true};
    spawnFromSpectrum(1.0f, Spectrum().band(ElectroBand, 0.0f).v, 1024, 768);
    spawnFromSpectrum(1.02f, Spectrum().band(ElectroBand, 0.3f).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Electro), 1u);
    emptyShow();   // as a new show starts: the same rise is an event again
    Gates = {0, 0, true};
    TestClockMs += 5000;
    spawnFromSpectrum(1.0f, Spectrum().band(ElectroBand, 0.0f).v, 1024, 768);
    spawnFromSpectrum(1.02f, Spectrum().band(ElectroBand, 0.3f).v, 1024, 768);
    EXPECT_EQ(count(FragmentKind::Electro), 2u);
    Gates = SpawnGates();
}
