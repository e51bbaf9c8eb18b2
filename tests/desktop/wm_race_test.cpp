// The show's decisions in its race with a window manager, without an X server: when the map guard
// looks, wakes and lets SDL go on, and what the late-manager watch sends as its window changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "desktop/wm_race.h"

namespace {
using std::chrono::milliseconds;
using Change = WindowChange;

// "-" nothing, "w" a wake (if the root is redirected), "a" the focus then full screen.
std::string sent(const WatchRequests& requests)
{
    const std::string both = std::string(requests.wakeIfRedirected ? "w" : "") +
                             (requests.askFocusThenFullScreen ? "a" : "");
    return both.empty() ? "-" : both;
}
}  // namespace

TEST(MapGuardSchedule, LooksFromWakeAfterAndGoesOnOnceFromGoOnAfter)
{
    struct Turn {
        int atMs;  // since the guard started
        bool looks;
        bool goesOn;  // asked only on turns that look
    };
    const Turn turns[] = {{100, false, false}, {199, false, false}, {200, true, false}, {2999, true, false},
                          {3000, true, true},  {3100, true, false}, {6000, true, false}};
    MapGuardSchedule schedule;
    for (const Turn& turn : turns) {
        const milliseconds waited(turn.atMs);
        EXPECT_EQ(MapGuardSchedule::looks(waited), turn.looks) << turn.atMs << " ms";
        if (turn.looks) {
            EXPECT_EQ(schedule.goesOn(waited), turn.goesOn) << turn.atMs << " ms";
        }
    }
}

TEST(LateManagerDecision, SendsWhatEachStoryNeeds)
{
    struct Frame {
        int atMs;  // since the watch started
        std::vector<Change> seen;  // since the frame before
        const char* sends;
    };
    struct Story {
        const char* name;
        bool mapped, managed, managerBefore;  // when the watch starts
        const char* sendsAtStart;
        std::vector<Frame> frames;
    };
    const Story stories[] = {
        {"a manager ran before the map: nothing, whatever it does to the window", true, true, true, "-",
         {{0, {}, "-"}, {16, {Change::ManagedSet}, "-"}, {33, {Change::ReparentedToRoot}, "-"}}},
        {"a manager starts after the map: asked once, when it has framed, marked and mapped the window",
         true, false, false, "-",
         {{0, {}, "-"},
          {16, {Change::Unmapped, Change::Framed}, "w"},
          {33, {Change::ManagedSet, Change::Mapped}, "a"},
          {50, {}, "-"},
          {66, {Change::ManagedSet}, "-"}}},
        {"a late manager already manages the window when the watch starts", true, true, false, "a",
         {{0, {}, "-"}}},
        {"a new frame after the requests asks again, once the new manager marks the window", true, true, true,
         "-",
         {{0, {Change::Framed}, "a"},
          {16, {Change::ReparentedToRoot, Change::ManagedDeleted}, "-"},
          {33, {Change::Framed}, "-"},
          {50, {Change::ManagedSet}, "a"}}},
        {"WM_STATE deleted: the last change counts, and the same frame's manager is not asked twice", true,
         false, false, "-",
         {{0, {Change::ManagedSet, Change::ManagedDeleted}, "-"},
          {16, {Change::ManagedSet}, "a"},
          {33, {Change::ManagedDeleted, Change::ManagedSet}, "-"}}},
        {"the guard went on with the window framed but unmapped: woken, then asked once mapped and managed",
         false, false, true, "-",
         {{0, {}, "w"},
          {50, {}, "-"},
          {100, {Change::ManagedSet}, "w"},
          {120, {Change::Mapped}, "a"},
          {250, {}, "-"}}},
        {"unmapped: a wake every 100 ms from the last one, none between", false, false, false, "-",
         {{0, {}, "w"}, {99, {}, "-"}, {100, {}, "w"}, {150, {}, "-"}, {230, {}, "w"}, {329, {}, "-"},
          {330, {}, "w"}}},
        {"unmapping starts the wakes at once, mapping stops them", true, true, true, "-",
         {{0, {}, "-"},
          {100, {}, "-"},
          {150, {Change::Unmapped}, "w"},
          {200, {}, "-"},
          {250, {}, "w"},
          {260, {Change::Mapped}, "-"},
          {400, {}, "-"}}},
    };
    const RaceClock::time_point origin(std::chrono::hours(1));
    for (const Story& story : stories) {
        SCOPED_TRACE(story.name);
        LateManagerDecision decision;
        EXPECT_EQ(sent(decision.start(story.mapped, story.managed, story.managerBefore)), story.sendsAtStart);
        for (const Frame& frame : story.frames) {
            for (Change change : frame.seen) decision.see(change);
            EXPECT_EQ(sent(decision.frame(origin + milliseconds(frame.atMs))), frame.sends) << frame.atMs << " ms";
        }
    }
}
