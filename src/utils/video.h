// The display, the input state and the wall clock, over SDL 1.2. All of it runs on the main thread.
// The clock's tick source is a seam: tests and the capture tool script time through it.
#pragma once
#include <cstdint>

// --- Display
// width x height: the show's own coordinates, what every layout is computed in. The framebuffer may be
// larger: outputWidth x outputHeight when given (a capture's size, in a window), else the platform's
// choice (a window of the show's size; full screen: the screen's size or the show's, utils/resolution.h).
// The picture is drawn into the largest rectangle of the show's shape there, centred, black around it.
void initVideo(int width, int height, bool fullscreen, int outputWidth = 0, int outputHeight = 0);
                                                        // opens the GL display; exits 1 if SDL can't start
                                                        // or shows nothing (offscreen/dummy not asked for)
void closeVideo();                                      // shows the pointer again and quits SDL
int screenWidth();                                      // show pixels, the width asked of initVideo
int screenHeight();                                     // show pixels, the height asked of initVideo
int outputWidth();                                      // framebuffer pixels now
int outputHeight();
void endFrame();                                        // drains events into the input state, swaps buffers

// --- Clock
float demoTime();                           // seconds since start-up, from the tick source (SDL's tick counter)
using TickSource = uint32_t (*)();          // milliseconds, like SDL_GetTicks
void setTickSource(TickSource source);      // nullptr restores SDL_GetTicks
void restartClock();                        // demoTime() of the platform's ticks counts from 0 again, now

// --- Input (levels as of the last endFrame; SDL 1.2 key codes, 0..511)
bool keyDown(int key);        // held now
bool keyWasDown(int key);     // held before the last endFrame
bool keyPressed(int key);     // went down during the last endFrame, even if already released again
float mouseX();               // window pixels, origin top-left
float mouseY();
float lastMouseX();
float lastMouseY();
bool mouseDown();             // left button held
bool lastMouseDown();

// --- Stop request
bool stopRequested();         // SIGINT or SIGTERM arrived since initVideo (where SDL would have caught it)

// --- Diagnostics
void countFps();              // counts one frame; prints "fps=N" once a second (the show never calls it)
