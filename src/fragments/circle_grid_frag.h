// CircleGridFrag: a scattered field of flat translucent discs that swell a little and fade out
// together. Its creator places the discs once; the fragment only draws them.
#pragma once
#include <vector>

#include "fragments/fragment.h"

struct GridCell {
    float x;         // pixels right of the screen centre
    float y;         // pixels above the screen centre
    float radius;    // pixels at progress 0
    int colorIndex;  // 0..9 (the spawner uses 0..5)
    float alpha;     // opacity weight, 0..1
};

constexpr float GridGrowth = 20.0f;  // pixels every disc gains over the life
constexpr float GridOpacity = 0.5f;  // a disc is never more than half opaque

class CircleGridFrag : public Fragment {
public:
    explicit CircleGridFrag(float lifetime);  // start = demoTime(); no cells, no random draw
    void draw(float time) override;

    std::vector<GridCell> cells;  // drawing order
};

// --- Pure disc values (no GL)
float gridFade(float p);    // 1 - easeOut(p): 1 at p = 0, 0 at p = 1
float gridGrowth(float p);  // pixels added to every radius: 20 easeOut(p)
