// The one ordered list of live fragments. List order is drawing order: later entries paint over
// earlier ones. The list owns its fragments and releases each in the first sweep that finds it expired.
#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include "fragments/fragment.h"

using FragmentList = std::vector<std::unique_ptr<Fragment>>;
extern FragmentList& ActiveFragments;   // the current show's (timeline/show_state.h)

// --- Insertion (both return the new fragment's index)
size_t addFragment(std::unique_ptr<Fragment> fragment);         // at randomFloat(n) truncated: one draw, never last
size_t addFragmentAtFront(std::unique_ptr<Fragment> fragment);  // at 0, no draw

// --- Per frame
void drawFragments();              // the sweep: reads demoTime() once, expires, then draws the rest in order
void expireFragments(float now);   // removes (and releases) every entry expired at now (demoTime seconds)

// --- Pure rules (no GL)
bool hasExpired(const Fragment& fragment, float now);  // now > start + lifetime, the sum in double
