// CircleGridFrag. All discs share one growth and one fade, so both are computed once per draw.
#include "fragments/circle_grid_frag.h"

#include "utils/draw.h"
#include "utils/video.h"

CircleGridFrag::CircleGridFrag(float life) : Fragment(life) {}

float gridFade(float p) { return 1.0f - easeOut(p); }
float gridGrowth(float p) { return GridGrowth * easeOut(p); }

void CircleGridFrag::draw(float time)
{
    if (cells.empty()) return;  // not even a colour change
    const float p = progress(*this, time);
    const float fade = gridFade(p);
    const float grow = gridGrowth(p);
    for (const GridCell& cell : cells) {
        setFragmentColor(cell.colorIndex, fade * cell.alpha * GridOpacity);
        const float r = grow + cell.radius;
        drawDisc(float(screenWidth()) * 0.5f + cell.x, float(screenHeight()) * 0.5f + cell.y, r, r);
    }
}
