// Carrying out a full-screen request on an X screen with no window manager, where nobody else does,
// so that the SDL 1.2 layer's scaling lands on the window it assumes.
#pragma once

// desktopWidth and desktopHeight: the desktop size SDL reported before the mode was set. Does nothing
// unless the window is on X11, the layer scales into it and no window manager runs.
void coverDesktopWithoutWindowManager(int desktopWidth, int desktopHeight);
