// Fragment base.
#include "fragments/fragment.h"

#include "utils/video.h"

Fragment::Fragment(float life) : start(demoTime()), lifetime(life) {}

void Fragment::draw(float) {}
