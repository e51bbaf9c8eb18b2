// What the timeline does, reported to one optional observer: each frame's clocks, each cue fired and
// each fragment created with all its fields and its place in the list. The show attaches none; tests
// and the capture tool do. Every record is plain values, ready to be written out field by field.
#pragma once
#include <cstddef>

#include "fragments/bezier_frag.h"
#include "fragments/circle_grid_frag.h"
#include "fragments/electro_frag.h"
#include "fragments/tex_frag.h"

struct FrameEvent {
    float musicTime;  // seconds of music position handed to the timeline this frame
    float demoTime;   // seconds of wall clock when the frame's timeline work began
};

struct CueEvent {
    int cueIndex;     // 0-based count of cues fired before this one: its row in CueTimes for the built list
    float cueTime;    // seconds of music position the cue was set for
    int type;         // composition 0..7 drawn for it
    float musicTime;  // seconds of music position at which it fired
};

// Where a new fragment went in ActiveFragments.
struct Insertion {
    size_t index;         // its index right after insertion
    size_t lengthBefore;  // list length just before it was inserted
};

enum class FragmentKind { Tex, Bezier, Electro, CircleGrid };

// Callbacks run synchronously on the frame-loop thread, after the event happened. The fragment
// references are valid only during the call (the list owns the fragments).
class TimelineObserver {
public:
    virtual ~TimelineObserver() = default;
    virtual void frameStarted(const FrameEvent&) {}
    virtual void cueFired(const CueEvent&) {}
    virtual void texCreated(const TexFrag&, const Insertion&) {}
    virtual void bezierCreated(const BezierFrag&, const Insertion&) {}
    virtual void electroCreated(const ElectroFrag&, const Insertion&) {}
    virtual void gridCreated(const CircleGridFrag&, const Insertion&) {}
};

// --- Attaching
void setTimelineObserver(TimelineObserver* observer);  // nullptr detaches; the caller keeps ownership
TimelineObserver* timelineObserver();                  // the attached one, or nullptr

// --- Names for records
const char* fragmentKindName(FragmentKind kind);  // "TexFrag", "BezierFrag", "ElectroFrag", "CircleGridFrag"
