// A real GL context for drawing tests: the show's own display set-up on SDL's offscreen driver
// (1024x768, windowed), opened once per test program, and pixel read-back from the back buffer.
#pragma once
#include <cstdint>

struct Rgb {
    int r, g, b;
};

// --- Context
void openTestDisplay();            // initVideo(1024, 768, false) once; later calls do nothing
void resetSceneState();            // the scene's drawing context: black, pixel projection, blending on

// A framebuffer of any size to draw into instead of the display's, while it lives; the picture
// viewport is the letterbox of that size meanwhile. Both are given back on destruction.
class LargerFramebuffer {
public:
    LargerFramebuffer(int width, int height);
    ~LargerFramebuffer();
    LargerFramebuffer(const LargerFramebuffer&) = delete;
    LargerFramebuffer& operator=(const LargerFramebuffer&) = delete;
    bool complete() const { return complete_; }

private:
    unsigned framebuffer_ = 0, colour_ = 0;
    int display_ = 0;   // the framebuffer the display layer draws into
    bool complete_ = false;
};

// --- Read-back (window pixels, origin bottom-left)
Rgb readPixel(int x, int y);
int countPixels(int x0, int y0, int x1, int y1, bool (*match)(Rgb));  // in [x0,x1) x [y0,y1)
