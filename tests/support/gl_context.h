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

// --- Read-back (window pixels, origin bottom-left)
Rgb readPixel(int x, int y);
int countPixels(int x0, int y0, int x1, int y1, bool (*match)(Rgb));  // in [x0,x1) x [y0,y1)
