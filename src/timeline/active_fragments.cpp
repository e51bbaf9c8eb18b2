// ActiveFragments: a contiguous array of owners. Insertion and removal shift the later entries;
// with a few dozen live fragments that is cheaper than any linked structure.
#include "timeline/active_fragments.h"

#include <algorithm>

#include "utils/random.h"
#include "utils/video.h"

size_t addFragment(std::unique_ptr<Fragment> fragment)
{
    // randomFloat(n) stays below n for any list this show can build; the clamp keeps an absurdly
    // long list (where single precision rounds up to n) from inserting past the end.
    const size_t n = ActiveFragments.size();
    const size_t index = std::min(size_t(randomFloat(float(n))), n);
    ActiveFragments.insert(ActiveFragments.begin() + std::ptrdiff_t(index), std::move(fragment));
    return index;
}

size_t addFragmentAtFront(std::unique_ptr<Fragment> fragment)
{
    ActiveFragments.insert(ActiveFragments.begin(), std::move(fragment));
    return 0;
}

bool hasExpired(const Fragment& f, float now)
{
    // The end is formed in double so a fragment at exactly start + lifetime is still drawn.
    return double(now) > double(f.start) + double(f.lifetime);
}

void expireFragments(float now)
{
    const auto expired = [now](const std::unique_ptr<Fragment>& f) { return hasExpired(*f, now); };
    ActiveFragments.erase(std::remove_if(ActiveFragments.begin(), ActiveFragments.end(), expired),
                          ActiveFragments.end());
}

void drawFragments()
{
    // A draw never changes the list, so expiring first leaves exactly the entries a single pass would draw.
    const float now = demoTime();
    expireFragments(now);
    for (const std::unique_ptr<Fragment>& f : ActiveFragments) f->draw(now);
}
