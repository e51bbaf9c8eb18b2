// The one ordered list of live fragments. List order is drawing order: later entries paint over
// earlier ones. The list owns its fragments and releases each in the first sweep that finds it expired.
#pragma once
#include <memory>
#include <vector>

#include "fragments/fragment.h"

using FragmentList = std::vector<std::unique_ptr<Fragment>>;
extern FragmentList ActiveFragments;

// --- Insertion
void addFragment(std::unique_ptr<Fragment> fragment);         // at index randomFloat(n), one draw, never last
void addFragmentAtFront(std::unique_ptr<Fragment> fragment);  // at index 0, no draw

// --- Per frame
void drawFragments();  // reads demoTime() once; removes expired entries, draws the rest in order
