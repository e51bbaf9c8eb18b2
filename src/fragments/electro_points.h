// The eight fixed anchor points, in window pixels, on which electro flashes appear. Drawn at
// start-up: they are the first sixteen random draws after seeding.
#pragma once
#include <vector>

#include "fragments/fragment.h"

constexpr int ElectroPointCount = 8;
extern std::vector<Point2>& ElectroPoints;   // the current show's (timeline/show_state.h)

// --- Start-up
void buildElectroPoints();  // replaces the list with 8 points: y = H/2 + [-200, 200) drawn first, then x in [50, W-50)
