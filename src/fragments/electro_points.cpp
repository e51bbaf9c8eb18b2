// ElectroPoints. The y draw precedes the x draw in every pass; that order is part of the shared
// random sequence.
#include "fragments/electro_points.h"

#include "utils/random.h"
#include "utils/video.h"

void buildElectroPoints()
{
    ElectroPoints.clear();
    for (int i = 0; i < ElectroPointCount; ++i) {
        const int h = screenHeight();
        const float ry = randomRange(-200, 200);
        const float y = float(h) * 0.5f + ry;
        const int w = screenWidth();
        const float x = randomRange(50, float(w - 50));
        ElectroPoints.push_back({x, y});
    }
}
