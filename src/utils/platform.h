// What each platform (src/desktop: SDL 1.2 and X11; src/web: the browser) supplies below video.h
// and fatal.h: only what differs between them. The display size, the clock's seam, the input state,
// the random seed and the failure line's formatting are shared code over these.
#pragma once
#include <cstdint>
#include <string>

#include "utils/gl_capabilities.h"

// --- Display
// GL context current; failures stop the process. output: framebuffer pixels asked, 0 x 0 for the platform's choice.
void platformOpenDisplay(int width, int height, bool fullscreen, int outputWidth, int outputHeight);
void platformFramebufferSize(int& width, int& height);   // pixels the picture goes into now (a page may resize it)
void platformShowPointer(bool shown);   // the pointer over the picture (hidden while the show plays)
void platformCloseDisplay();
void platformEndFrame();                // feeds this frame's events to input_feed.h, then shows the frame
GlCapabilities platformGlCapabilities();  // what this platform's GL can do, read once the context is current

// --- Clock and stop
uint32_t platformTicks();               // milliseconds since the display opened (SDL's tick counter)
bool platformStopRequested();           // SIGINT or SIGTERM where the platform has signals

// --- Failure
[[noreturn]] void platformFail(int status, const std::string& line);  // line ends in '\n'; shown, then the process ends
