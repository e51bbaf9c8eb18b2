// Scene step. Stand-in until the spectrum spawner lands: clears, projects and sweeps only.
#include "timeline/scene.h"

#include <SDL_opengl.h>

#include "timeline/active_fragments.h"
#include "utils/draw.h"
#include "utils/video.h"

void renderScene(float)
{
    glClear(GL_COLOR_BUFFER_BIT);
    setOrtho(0, float(screenWidth()), 0, float(screenHeight()));
    drawFragments();
}
