// The live list: the sweep's expiry rule and order, release of removed fragments, and where
// insertions land and what they draw from the generator.
#include <memory>
#include <string>
#include <vector>

#include "timeline_fixture.h"

namespace {
// A fragment that logs its draws and its release.
std::vector<std::string> drawLog;
std::vector<std::string> releaseLog;

class Probe : public Fragment {
public:
    Probe(std::string name, float start, float lifetime) : Fragment(lifetime), name_(std::move(name)) { this->start = start; }
    ~Probe() override { releaseLog.push_back(name_); }
    void draw(float time) override { drawLog.push_back(name_ + "@" + std::to_string(time)); }

private:
    std::string name_;
};

void append(const std::string& name, float start, float lifetime)
{
    ActiveFragments.push_back(std::make_unique<Probe>(name, start, lifetime));
}

std::vector<std::string> listed()
{
    std::vector<std::string> names;
    for (const auto& f : ActiveFragments) {
        drawLog.clear();
        f->draw(0);
        names.push_back(drawLog.at(0).substr(0, drawLog.at(0).find('@')));
    }
    drawLog.clear();
    return names;
}

class LiveList : public TimelineTest {
protected:
    void SetUp() override
    {
        TimelineTest::SetUp();
        drawLog.clear();
        releaseLog.clear();
    }
};
}  // namespace

TEST_F(LiveList, FragmentAtExactlyItsEndIsDrawnAndGoneOneTickLater)
{
    append("a", 1.0f, 0.5f);
    TestClockMs = 1500;
    drawFragments();
    EXPECT_EQ(drawLog, std::vector<std::string>{"a@" + std::to_string(1.5f)});
    EXPECT_TRUE(releaseLog.empty());

    drawLog.clear();
    TestClockMs = 1501;
    drawFragments();
    EXPECT_TRUE(drawLog.empty());
    EXPECT_TRUE(ActiveFragments.empty());
    EXPECT_EQ(releaseLog, std::vector<std::string>{"a"});
}

TEST_F(LiveList, EndIsFormedInDoubleNotRoundedToSingle)
{
    // 0.1f + 0.2f rounds to 0.3f in single precision, which would keep the fragment at 0.3 s; the
    // exact sum lies below 0.3f, so it has expired.
    ASSERT_EQ(0.1f + 0.2f, 0.3f);
    append("a", 0.1f, 0.2f);
    TestClockMs = 300;
    drawFragments();
    EXPECT_TRUE(drawLog.empty());
    EXPECT_TRUE(ActiveFragments.empty());
    EXPECT_FALSE(hasExpired(Fragment(0.2f), 0.0f));
}

TEST_F(LiveList, OneSweepRemovesEveryExpiredEntryAndDrawsTheRestInOrder)
{
    append("live1", 4, 2);
    append("old1", 1, 1);
    append("old2", 1, 2);
    append("old3", 0, 0.5f);
    append("live2", 5, 0.5f);
    append("old4", 2, 0.5f);
    append("live3", 3, 3);
    TestClockMs = 5000;
    drawFragments();

    const std::string at = "@" + std::to_string(5.0f);
    EXPECT_EQ(drawLog, (std::vector<std::string>{"live1" + at, "live2" + at, "live3" + at}));
    EXPECT_EQ(releaseLog, (std::vector<std::string>{"old1", "old2", "old3", "old4"}));
    EXPECT_EQ(listed(), (std::vector<std::string>{"live1", "live2", "live3"}));
}

TEST_F(LiveList, EmptyListDrawsNothing)
{
    TestClockMs = 1000;
    drawFragments();
    EXPECT_TRUE(drawLog.empty());
    EXPECT_TRUE(ActiveFragments.empty());
}

TEST_F(LiveList, AddingToAnEmptyListStillDrawsOnce)
{
    setRandomState(SeededRandomState);
    randomFloat(0);
    const uint32_t after = randomState();

    setRandomState(SeededRandomState);
    EXPECT_EQ(addFragment(std::make_unique<Probe>("a", 0, 1)), 0u);
    EXPECT_EQ(randomState(), after);
    EXPECT_EQ(ActiveFragments.size(), 1u);
}

TEST_F(LiveList, AddingToAOneEntryListAlwaysGoesFirst)
{
    for (uint32_t state = 1; state < 200; state += 7) {
        ActiveFragments.clear();
        append("old", 0, 1);
        setRandomState(state * 2654435761u);
        EXPECT_EQ(addFragment(std::make_unique<Probe>("new", 0, 1)), 0u);
        EXPECT_EQ(listed(), (std::vector<std::string>{"new", "old"}));
    }
}

TEST_F(LiveList, InsertionIndexIsTheTruncatedDrawAndNeverTheEnd)
{
    for (int i = 0; i < 300; ++i) {
        const size_t n = ActiveFragments.size();
        const uint32_t state = randomState();
        const size_t want = size_t(randomFloat(float(n)));
        const uint32_t after = randomState();
        setRandomState(state);

        const size_t got = addFragment(std::make_unique<Probe>("p" + std::to_string(i), 0, 1));
        ASSERT_EQ(got, want) << "insertion " << i;
        ASSERT_EQ(randomState(), after);
        if (n > 0) {
            ASSERT_LT(got, n) << "a new fragment never becomes the last entry";
        }
    }
    EXPECT_EQ(ActiveFragments.size(), 300u);
}

TEST_F(LiveList, FrontInsertionDrawsNothing)
{
    append("a", 0, 1);
    append("b", 0, 1);
    const uint32_t before = randomState();
    EXPECT_EQ(addFragmentAtFront(std::make_unique<Probe>("front", 0, 1)), 0u);
    EXPECT_EQ(randomState(), before);
    EXPECT_EQ(listed(), (std::vector<std::string>{"front", "a", "b"}));
}
