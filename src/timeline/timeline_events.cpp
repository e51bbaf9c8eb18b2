// The timeline's one observer slot. A plain pointer: the frame loop is single-threaded and the
// observer outlives the runs it watches.
#include "timeline/timeline_events.h"

namespace {
TimelineObserver* observer = nullptr;
}  // namespace

void setTimelineObserver(TimelineObserver* o) { observer = o; }
TimelineObserver* timelineObserver() { return observer; }

const char* fragmentKindName(FragmentKind kind)
{
    switch (kind) {
    case FragmentKind::Tex: return "TexFrag";
    case FragmentKind::Bezier: return "BezierFrag";
    case FragmentKind::Electro: return "ElectroFrag";
    case FragmentKind::CircleGrid: return "CircleGridFrag";
    }
    return "Fragment";
}
