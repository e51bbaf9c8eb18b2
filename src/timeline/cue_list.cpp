// Cue dispatch. Every frame scans the whole list: each due cue fires in the first frame that reaches
// it, several in one frame fire in list order, each with its own randomInt(8) followed by its
// composition's draws.
#include "timeline/cue_list.h"

#include "timeline/compositions.h"
#include "timeline/cue_times.h"
#include "timeline/show_state.h"
#include "timeline/timeline_events.h"
#include "utils/random.h"
#include "utils/video.h"

namespace {
int& fired = CurrentShow.firedCues;
}  // namespace

void buildCueList() { buildCueList(std::vector<float>(CueTimes, CueTimes + CueCount)); }

void buildCueList(const std::vector<float>& times)
{
    CueList = times;
    fired = 0;
}

int firedCueCount() { return fired; }

void dispatchCues(float time, float lifetime)
{
    // The frame's first timeline step, so the frame's record goes out here, before its cues.
    TimelineObserver* observer = timelineObserver();
    if (observer) observer->frameStarted({time, demoTime()});

    size_t i = 0;
    while (i < CueList.size()) {
        const float cue = CueList[i];
        if (!(time >= cue)) {  // not yet due, or a NaN time: never fires
            ++i;
            continue;
        }
        const int type = int(randomInt(CompositionTypeCount));
        if (observer) observer->cueFired({fired, cue, type, time});
        ++fired;
        spawnComposition(type, lifetime);
        CueList.erase(CueList.begin() + std::ptrdiff_t(i));
    }
}
