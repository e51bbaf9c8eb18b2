// The effects' pure rules, without GL: easings and fades, the constant tables, the poses the draws
// hand to GL, the Bezier geometry, and what each constructor draws from the shared generator.
#include <gtest/gtest.h>

#include <cmath>

#include "fragments/bezier_frag.h"
#include "fragments/circle_grid_frag.h"
#include "fragments/electro_frag.h"
#include "fragments/tex_frag.h"
#include "utils/random.h"
#include "utils/video.h"

namespace {
uint32_t clockMs = 0;
uint32_t scriptedTicks() { return clockMs; }

class FragmentRules : public ::testing::Test {
protected:
    void SetUp() override
    {
        clockMs = 0;
        setTickSource(&scriptedTicks);
        setRandomState(SeededRandomState);
    }
    void TearDown() override { setTickSource(nullptr); }
};

// A fragment living from 10 s for 2 s: progress p is at time 10 + 2p.
template <typename Frag>
Frag livingFrom10For2()
{
    clockMs = 10000;
    Frag f(2.0f);
    return f;
}
float at(float p) { return 10.0f + 2.0f * p; }
}  // namespace

TEST_F(FragmentRules, ProgressAndEaseOut)
{
    clockMs = 2000;
    const Fragment f(4.0f);
    EXPECT_FLOAT_EQ(f.start, 2.0f);
    EXPECT_FLOAT_EQ(progress(f, 2.0f), 0.0f);
    EXPECT_FLOAT_EQ(progress(f, 3.0f), 0.25f);
    EXPECT_FLOAT_EQ(progress(f, 6.0f), 1.0f);

    EXPECT_FLOAT_EQ(easeOut(0.0f), 0.0f);
    EXPECT_FLOAT_EQ(easeOut(0.5f), 0.75f);
    EXPECT_FLOAT_EQ(easeOut(1.0f), 1.0f);
}

TEST_F(FragmentRules, FadeEnvelopeRisesCubicallyToPeakThenFallsLinearly)
{
    // Sprite fade with a peak of 0.7 and flash fade with a peak of 0.4, at the same progress points.
    const float p[] = {0.0f, 0.1f, 0.2f, 0.6f, 1.0f};
    const float sprite[] = {0.0f, 0.6125f, 0.7f, 0.35f, 0.0f};
    const float flash[] = {0.0f, 0.35f, 0.4f, 0.2f, 0.0f};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(p[i]);
        EXPECT_NEAR(fadeEnvelope(p[i], 0.7f), sprite[i], 1e-6);
        EXPECT_NEAR(fadeEnvelopeWide(p[i], 0.4f), flash[i], 1e-6);
    }
    // Rising side is an ease-out: steep first, flat at the peak.
    EXPECT_GT(fadeEnvelope(0.05f, 1.0f), 0.5f);
    EXPECT_LT(fadeEnvelope(0.19f, 1.0f), 1.0f);
}

TEST_F(FragmentRules, ColorTableKeyEntries)
{
    const Rgb8 expected[] = {{180, 225, 162}, {32, 29, 45}, {61, 15, 40}, {144, 0, 31}, {204, 136, 58}};
    const int entries[] = {0, 4, 5, 7, 9};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(entries[i]);
        EXPECT_EQ(ColorTable[entries[i]].r, expected[i].r);
        EXPECT_EQ(ColorTable[entries[i]].g, expected[i].g);
        EXPECT_EQ(ColorTable[entries[i]].b, expected[i].b);
    }
}

TEST_F(FragmentRules, BezierCurveTableKeyValuesAndSharedShapes)
{
    EXPECT_FLOAT_EQ(BezierCurves[0].from[0].x, -6.88f);
    EXPECT_FLOAT_EQ(BezierCurves[0].from[0].y, -3.58f);
    EXPECT_FLOAT_EQ(BezierCurves[5].from[2].x, 6.33f);
    EXPECT_FLOAT_EQ(BezierCurves[5].from[2].y, 3.64f);
    EXPECT_FLOAT_EQ(BezierCurves[8].to[3].x, 1.30f);
    EXPECT_FLOAT_EQ(BezierCurves[8].to[3].y, 5.13f);
    EXPECT_FLOAT_EQ(BezierCurves[6].to[1].y, -0.06f);

    auto same = [](Point2 a, Point2 b) { return a.x == b.x && a.y == b.y; };
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(same(BezierCurves[0].from[i], BezierCurves[1].from[i])) << i;
    EXPECT_FALSE(same(BezierCurves[0].to[1], BezierCurves[1].to[1]));
    for (int c : {4, 5}) {
        EXPECT_TRUE(same(BezierCurves[3].from[0], BezierCurves[c].from[0])) << c;
        EXPECT_TRUE(same(BezierCurves[3].to[0], BezierCurves[c].to[0])) << c;
        EXPECT_TRUE(same(BezierCurves[3].to[3], BezierCurves[c].to[3])) << c;
    }
}

TEST_F(FragmentRules, BezierControlPointsMoveXLinearlyAndYEased)
{
    Point2 c[4];
    bezierControlPoints(0, 0.0f, 1024, 768, c);
    EXPECT_NEAR(c[0].x, -368.64f, 1e-3);
    EXPECT_NEAR(c[0].y, -74.24f, 1e-3);

    // Halfway through the life x is halfway, y three quarters of the way (easeOut(0.5) = 0.75).
    Point2 from[4], to[4];
    bezierControlPoints(2, 0.0f, 1024, 768, from);
    bezierControlPoints(2, 1.0f, 1024, 768, to);
    bezierControlPoints(2, 0.5f, 1024, 768, c);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(c[i].x, from[i].x + 0.5f * (to[i].x - from[i].x), 1e-3);
        EXPECT_NEAR(c[i].y, from[i].y + 0.75f * (to[i].y - from[i].y), 1e-3);
    }
    // The end shape, mapped from design units: x (v + 4) / 8 of the width, y (v + 3) / 6 of the height.
    EXPECT_NEAR(to[3].x, (-2.24f + 4) / 8 * 1024, 1e-3);
    EXPECT_NEAR(to[3].y, (4.41f + 3) / 6 * 768, 1e-3);
}

TEST_F(FragmentRules, BezierPointEndsOnControlPointsAndWeighsThemCubically)
{
    const Point2 p0{0, 0}, p1{10, 40}, p2{50, -20}, p3{100, 8};
    const Point2 a = bezierPoint(p0, p1, p2, p3, 0.0f);
    const Point2 b = bezierPoint(p0, p1, p2, p3, 1.0f);
    const Point2 m = bezierPoint(p0, p1, p2, p3, 0.5f);
    EXPECT_FLOAT_EQ(a.x, 0);
    EXPECT_FLOAT_EQ(a.y, 0);
    EXPECT_FLOAT_EQ(b.x, 100);
    EXPECT_FLOAT_EQ(b.y, 8);
    EXPECT_FLOAT_EQ(m.x, (0 + 3 * 10 + 3 * 50 + 100) / 8.0f);
    EXPECT_FLOAT_EQ(m.y, (0 + 3 * 40 - 3 * 20 + 8) / 8.0f);
}

TEST_F(FragmentRules, BezierFramesShareTheLifeEvenlyAndTheLastOnlyAtTheEnd)
{
    int counts[BezierLastFrame + 1] = {};
    const int steps = 19 * 1000;
    for (int i = 0; i < steps; ++i) counts[bezierFrame(float(i) / float(steps))]++;
    for (int k = 0; k < BezierLastFrame; ++k) EXPECT_NEAR(counts[k], 1000, 2) << k;
    EXPECT_EQ(counts[BezierLastFrame], 0);
    EXPECT_EQ(bezierFrame(1.0f), 19);
    EXPECT_EQ(bezierFrame(std::nextafter(1.0f, 0.0f)), 18);
    EXPECT_EQ(bezierFrame(0.0f), 0);
}

TEST_F(FragmentRules, BezierSpritesSitAtSixParametersWithTabulatedSizes)
{
    const float u[] = {0, 0.2f, 0.4f, 0.6f, 0.8f, 1};
    const float half[] = {100, 128.2321f, 146.6020f, 148.6924f, 133.7732f, 107.0560f};
    for (int i = 0; i < BezierSpriteCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(bezierSpriteU(i), u[i]);
        EXPECT_NEAR(bezierSpriteHalfSize(i), half[i], 1e-3);
    }
}

TEST_F(FragmentRules, TexFragPoseGlidesTurnsGrowsAndFades)
{
    TexFrag s = livingFrom10For2<TexFrag>();
    s.fromX = -2, s.fromY = 1, s.toX = 2, s.toY = -1;
    s.angle = 30, s.spin = -20, s.scale = 3, s.growth = 2, s.alpha = 0.7f;

    const SpritePose start = texFragPose(s, at(0));
    EXPECT_FLOAT_EQ(start.x, -2);
    EXPECT_FLOAT_EQ(start.y, 1);
    EXPECT_FLOAT_EQ(start.angle, 30);
    EXPECT_FLOAT_EQ(start.size, 3);
    EXPECT_FLOAT_EQ(start.opacity, 0);

    const SpritePose mid = texFragPose(s, at(0.5f));
    EXPECT_FLOAT_EQ(mid.x, 0);
    EXPECT_FLOAT_EQ(mid.y, 0);
    EXPECT_FLOAT_EQ(mid.angle, 20);
    EXPECT_FLOAT_EQ(mid.size, 4);
    EXPECT_NEAR(mid.opacity, 0.7f * (1 - 0.3f / 0.8f), 1e-6);

    const SpritePose end = texFragPose(s, at(1));
    EXPECT_FLOAT_EQ(end.x, 2);
    EXPECT_FLOAT_EQ(end.angle, 10);
    EXPECT_FLOAT_EQ(end.size, 5);
    EXPECT_NEAR(end.opacity, 0, 1e-6);
}

TEST_F(FragmentRules, ElectroPoseTurnsLinearlyAndGrowsEased)
{
    ElectroFrag e = livingFrom10For2<ElectroFrag>();
    e.angle = 90, e.spin = -20, e.scale = 2, e.growth = 1;
    const float p[] = {0, 0.5f, 1};
    const float angle[] = {90, 80, 70};
    const float scale[] = {2, 2.75f, 3};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(p[i]);
        const ElectroPose pose = electroPose(e, at(p[i]));
        EXPECT_FLOAT_EQ(pose.angle, angle[i]);
        EXPECT_FLOAT_EQ(pose.scale, scale[i]);
    }
    EXPECT_NEAR(electroPose(e, at(0.1f)).opacity, 0.35f, 1e-6);
}

TEST_F(FragmentRules, TexFragConstructorDrawsItsColourOnceAndSetsDefaults)
{
    for (uint32_t state : {SeededRandomState, 7u, 123456789u}) {
        SCOPED_TRACE(state);
        setRandomState(state);
        const float colour = randomFloat(5);
        const uint32_t after = randomState();

        setRandomState(state);
        clockMs = 1234;
        const TexFrag s(2.0f);
        EXPECT_EQ(randomState(), after);  // exactly one randomFloat(5)
        EXPECT_EQ(s.colorIndex, int(colour));
        EXPECT_FLOAT_EQ(s.start, 1.234f);
        EXPECT_FLOAT_EQ(s.lifetime, 2.0f);
        EXPECT_EQ(s.fromX, 0);
        EXPECT_EQ(s.toY, 0);
        EXPECT_EQ(s.spin, 0);
        EXPECT_EQ(s.growth, 0);
        EXPECT_FLOAT_EQ(s.alpha, 0.7f);
        EXPECT_TRUE(s.textureName.empty());
    }
}

TEST_F(FragmentRules, OtherKindsDrawNoRandomNumbers)
{
    clockMs = 5500;
    const uint32_t before = randomState();
    const BezierFrag b(5.4f);
    const ElectroFrag e(2.0f);
    const CircleGridFrag g(2.0f);
    EXPECT_EQ(randomState(), before);
    EXPECT_FLOAT_EQ(b.start, 5.5f);
    EXPECT_FLOAT_EQ(e.start, 5.5f);
    EXPECT_FLOAT_EQ(g.start, 5.5f);
    EXPECT_TRUE(g.cells.empty());
}
