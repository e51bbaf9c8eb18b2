// Scene step. The sweep comes before the spawning so that the list it draws is the one the previous
// frame left, plus this frame's cue sprites.
#include "timeline/scene.h"

#include <SDL_opengl.h>

#include "audio/music.h"
#include "timeline/active_fragments.h"
#include "timeline/spawner.h"
#include "utils/draw.h"
#include "utils/video.h"

void renderScene(float time)
{
    glClear(GL_COLOR_BUFFER_BIT);
    setOrtho(0, float(screenWidth()), 0, float(screenHeight()));
    drawFragments();
    spawnFromSpectrum(time, spectrum, screenWidth(), screenHeight());
}
