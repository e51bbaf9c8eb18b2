// Test GL context. The offscreen video driver needs no X server, so these tests run anywhere.
#include "support/gl_context.h"

#include <SDL_opengl.h>

#include <cstdlib>
#include <vector>

#include "utils/draw.h"
#include "utils/video.h"

void openTestDisplay()
{
    static bool open = false;
    if (open) return;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    initVideo(1024, 768, false);
    open = true;
    resetSceneState();
}

void resetSceneState()
{
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1, 1, 1, 1);
    setOrtho(0, float(screenWidth()), 0, float(screenHeight()));
}

Rgb readPixel(int x, int y)
{
    uint8_t p[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

int countPixels(int x0, int y0, int x1, int y1, bool (*match)(Rgb))
{
    const int w = x1 - x0, h = y1 - y0;
    std::vector<uint8_t> p(size_t(w) * size_t(h) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x0, y0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    int n = 0;
    for (size_t i = 0; i < p.size(); i += 4)
        if (match({p[i], p[i + 1], p[i + 2]})) ++n;
    return n;
}
