// The full-screen window under a window manager that starts after the window was mapped, or that the
// map guard had to go on without. Does nothing off X11.
#pragma once

// --- While the show plays
// A manager that takes the window over after it was mapped frames it as an ordinary window and keeps
// the keyboard focus for itself: SDL's full-screen request went to nobody. Started once the full-screen
// mode is set; then, once a frame, asks such a manager for full screen and the focus.
void watchForLateWindowManager(bool managerRanBeforeMap);  // the map guard's managerRanBeforeMap()
void answerLateWindowManager();    // cheap when nothing happened: one non-blocking read
void stopWatchingWindowManager();  // before SDL quits
