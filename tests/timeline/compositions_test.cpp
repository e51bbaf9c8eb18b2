// The composition table and spawnComposition: every sprite's values come from its row, the draws
// are exactly colour then position per sprite, and a type outside 0..7 does nothing at all.
#include <cstring>
#include <string>

#include "composition_replay.h"
#include "timeline/compositions.h"
#include "timeline_fixture.h"
#include "utils/texture_library.h"

namespace {
const TexFrag& listedSprite(size_t index) { return dynamic_cast<const TexFrag&>(*ActiveFragments.at(index)); }

void expectRow(const TexFrag& s, const CompositionSprite& row)
{
    EXPECT_EQ(s.textureName, row.textureName);
    EXPECT_EQ(s.fromX, row.fromX);
    EXPECT_EQ(s.fromY, row.fromY);
    EXPECT_EQ(s.toX, row.toX);
    EXPECT_EQ(s.toY, row.toY);
    EXPECT_EQ(s.angle, row.angle);
    EXPECT_EQ(s.spin, row.spin);
    EXPECT_EQ(s.scale, row.scale);
    EXPECT_EQ(s.growth, row.growth);
    EXPECT_EQ(s.alpha, row.alpha);
}
}  // namespace

using Compositions = TimelineTest;

TEST_F(Compositions, TableHoldsEightTypesInOrderWithTheirSpriteCounts)
{
    int previous = 0;
    for (const CompositionSprite& row : CompositionTable) {
        EXPECT_GE(row.type, previous);
        previous = row.type;
    }
    for (int type = 0; type < 8; ++type) EXPECT_EQ(compositionSize(type), SpritesOfType[type]) << type;
    EXPECT_EQ(compositionSize(8), 0);
    EXPECT_EQ(compositionSize(-1), 0);
    EXPECT_EQ(compositionFirst(3), 11);
    EXPECT_EQ(compositionFirst(8), -1);
}

TEST_F(Compositions, KeyRowsHoldTheirValues)
{
    struct Key {
        int row;
        const char* texture;
        float values[9];
    };
    const Key keys[] = {
        {0, "m0.png", {-0.618118f, 0.111277f, -0.841291f, 0.637841f, 0, -7, 8.11f, 1.07f, 0.7f}},
        {6, "typo0.png", {1.713677f, -1.70847f, 0.38738f, -1.654673f, 0, -19.4f, 10.28f, 1.93f, 0.7f}},
        {17, "path1.png", {-1.762916f, 0.381909f, -1.762916f, 0.381909f, 51, -13, 11.92f, -1.64f, 0.7f}},
        {20, "big-circle.png", {1.070627f, -1.190189f, 1.07963f, -0.846194f, 265, -5.2f, 6.44f, 0.82f, 0.7f}},
        {30, "star.png", {-0.357918f, 0.124147f, 0.151206f, 0.270221f, 127, 38, 10.03f, 0, 0.47f}},
    };
    for (const Key& k : keys) {
        SCOPED_TRACE(k.row);
        const CompositionSprite& r = CompositionTable[k.row];
        EXPECT_STREQ(r.textureName, k.texture);
        const float got[9] = {r.fromX, r.fromY, r.toX, r.toY, r.angle, r.spin, r.scale, r.growth, r.alpha};
        for (int i = 0; i < 9; ++i) EXPECT_EQ(got[i], k.values[i]) << "column " << i;
    }
}

TEST_F(Compositions, TableFeaturesAndTextureNames)
{
    // Type 3 sprite 2 moves like type 2 sprite 3, with another texture.
    const CompositionSprite& a = CompositionTable[compositionFirst(3) + 1];
    const CompositionSprite& b = CompositionTable[compositionFirst(2) + 2];
    EXPECT_EQ(std::memcmp(&a.fromX, &b.fromX, 9 * sizeof(float)), 0);
    EXPECT_STRNE(a.textureName, b.textureName);

    // Type 4 sprites 2..4: three stars on one path.
    for (int i = 2; i <= 3; ++i) {
        const CompositionSprite& star = CompositionTable[compositionFirst(4) + i];
        EXPECT_STREQ(star.textureName, "star.png");
        EXPECT_EQ(star.toX, CompositionTable[compositionFirst(4) + 1].toX);
    }

    // Every name is one the library loads.
    for (const CompositionSprite& row : CompositionTable) {
        bool known = false;
        for (const char* name : LibraryFileNames) known |= std::string(name) == row.textureName;
        EXPECT_TRUE(known) << row.textureName;
    }
}

TEST_F(Compositions, EachTypeMakesItsSpritesWithTwoDrawsEach)
{
    for (int type = 0; type < 8; ++type) {
        SCOPED_TRACE(type);
        emptyShow();
        events = RecordingObserver();
        // A few fragments already live, so positions are real choices.
        for (int i = 0; i < 3; ++i) ActiveFragments.push_back(std::make_unique<Fragment>(10.0f));
        setRandomState(SeededRandomState + uint32_t(type) * 977u);
        const std::vector<ReplayedSprite> want = replayComposition(type, 3);
        const uint32_t after = randomState();

        setRandomState(SeededRandomState + uint32_t(type) * 977u);
        TestClockMs = 4000 + uint32_t(type);
        spawnComposition(type, 2.0f);
        EXPECT_EQ(randomState(), after) << "exactly 2k calls";
        ASSERT_EQ(events.created.size(), want.size());
        ASSERT_EQ(ActiveFragments.size(), 3 + want.size());

        for (size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE(i);
            const Created& c = events.created[i];
            EXPECT_EQ(c.kind, FragmentKind::Tex);
            EXPECT_EQ(c.at.index, want[i].index);
            EXPECT_EQ(c.at.lengthBefore, 3 + i);
            const TexFrag& s = events.texs[i];
            EXPECT_EQ(s.colorIndex, want[i].colorIndex);
            EXPECT_FLOAT_EQ(s.start, 4.0f + float(type) / 1000);
            EXPECT_EQ(s.lifetime, 2.0f);
            expectRow(s, CompositionTable[compositionFirst(type) + int(i)]);
        }
        // The last sprite is where the observer said; earlier ones may have been pushed along.
        const Created& last = events.created.back();
        EXPECT_EQ(ActiveFragments.at(last.at.index).get(), last.fragment);
    }
}

TEST_F(Compositions, LifetimeIsPassedToEverySprite)
{
    spawnComposition(6, 3.25f);
    ASSERT_EQ(ActiveFragments.size(), 5u);
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(listedSprite(i).lifetime, 3.25f);
}

TEST_F(Compositions, TypeOutsideTheTableDoesNothing)
{
    for (int type : {-1, 8, 100}) {
        const uint32_t before = randomState();
        spawnComposition(type, 2.0f);
        EXPECT_EQ(randomState(), before);
        EXPECT_TRUE(ActiveFragments.empty());
        EXPECT_TRUE(events.created.empty());
    }
}

TEST_F(Compositions, TwoCompositionsInOneFrameBothAppearInFull)
{
    spawnComposition(0, 2.0f);
    spawnComposition(3, 2.0f);
    EXPECT_EQ(ActiveFragments.size(), 7u);
    int fromType3 = 0;
    for (const auto& f : ActiveFragments) {
        const TexFrag& s = dynamic_cast<const TexFrag&>(*f);
        fromType3 += s.angle == 293.0f || (s.textureName == "typo2.png" && s.angle == 18.0f);
    }
    EXPECT_EQ(fromType3, 2);
}
