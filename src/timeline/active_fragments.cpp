// ActiveFragments: a contiguous array of owners. Insertion and removal shift the later entries;
// with a few dozen live fragments that is cheaper than any linked structure.
#include "timeline/active_fragments.h"

#include "utils/random.h"
#include "utils/video.h"

FragmentList ActiveFragments;

void addFragment(std::unique_ptr<Fragment> fragment)
{
    const size_t index = size_t(randomFloat(float(ActiveFragments.size())));
    ActiveFragments.insert(ActiveFragments.begin() + std::ptrdiff_t(index), std::move(fragment));
}

void addFragmentAtFront(std::unique_ptr<Fragment> fragment)
{
    ActiveFragments.insert(ActiveFragments.begin(), std::move(fragment));
}

void drawFragments()
{
    const float now = demoTime();
    size_t i = 0;
    while (i < ActiveFragments.size()) {
        const Fragment& f = *ActiveFragments[i];
        // The end is formed in double so a fragment at exactly start + lifetime is still drawn.
        if (double(now) > double(f.start) + double(f.lifetime)) {
            ActiveFragments.erase(ActiveFragments.begin() + std::ptrdiff_t(i));
        } else {
            ActiveFragments[i]->draw(now);
            ++i;
        }
    }
}
