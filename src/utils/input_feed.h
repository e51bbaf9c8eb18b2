// How a platform's endFrame feeds the input state that video.h reads back: the desktop drains SDL's
// event queue into it, the browser the events its page queued. The state itself is the same on both.
#pragma once

constexpr int KeyCount = 512;   // SDL 1.2's key codes, which the input state takes and every platform feeds

// --- Feeding, in event order, from endFrame
void beginInputFrame();                  // the levels so far become the last frame's; nothing pressed yet
void feedKey(int key, bool down);        // SDL 1.2 key code, 0..511; others are ignored
void feedMouseMotion(float x, float y);  // window pixels, origin top-left
void feedMouseButton(bool down);         // the left button
