// Shared ground for the timeline tests: a scripted wall clock, an observer that keeps every event,
// and a fixture that starts each test from an empty timeline at a known generator state.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fragments/electro_points.h"
#include "timeline/active_fragments.h"
#include "timeline/scene.h"
#include "timeline/show_state.h"
#include "timeline/timeline_events.h"
#include "utils/random.h"
#include "utils/video.h"

// demoTime() reads TestClockMs while a TimelineTest runs.
inline uint32_t TestClockMs = 0;
inline uint32_t testClockTicks() { return TestClockMs; }

struct Created {
    FragmentKind kind;
    const Fragment* fragment;  // valid while the fragment is listed
    Insertion at;
};

class RecordingObserver : public TimelineObserver {
public:
    std::vector<FrameEvent> frames;
    std::vector<CueEvent> cues;
    std::vector<Created> created;
    std::vector<TexFrag> texs;
    std::vector<BezierFrag> beziers;
    std::vector<ElectroFrag> electros;
    std::vector<CircleGridFrag> grids;

    void frameStarted(const FrameEvent& e) override { frames.push_back(e); }
    void cueFired(const CueEvent& e) override { cues.push_back(e); }
    void texCreated(const TexFrag& f, const Insertion& at) override
    {
        created.push_back({FragmentKind::Tex, &f, at});
        texs.push_back(f);
    }
    void bezierCreated(const BezierFrag& f, const Insertion& at) override
    {
        created.push_back({FragmentKind::Bezier, &f, at});
        beziers.push_back(f);
    }
    void electroCreated(const ElectroFrag& f, const Insertion& at) override
    {
        created.push_back({FragmentKind::Electro, &f, at});
        electros.push_back(f);
    }
    void gridCreated(const CircleGridFrag& f, const Insertion& at) override
    {
        created.push_back({FragmentKind::CircleGrid, &f, at});
        grids.push_back(f);
    }
};

class TimelineTest : public ::testing::Test {
protected:
    RecordingObserver events;

    void SetUp() override
    {
        emptyShow();
        TestClockMs = 0;
        setTickSource(&testClockTicks);
        setRandomState(SeededRandomState);
        setTimelineObserver(&events);
    }
    // Nothing live, no cue, no spawn yet; eight anchor points, all in the middle.
    static void emptyShow()
    {
        clearShowState();
        ElectroPoints.assign(ElectroPointCount, Point2{512, 384});
    }
    void TearDown() override
    {
        setTimelineObserver(nullptr);
        setTickSource(nullptr);
        clearShowState();
    }
};
