// The full-screen window on an X server with no window manager: nobody carries out SDL 2's request
// to make the window desktop-sized, so the show does. Does nothing off X11.
#pragma once

// --- Covering the desktop
// desktopWidth and desktopHeight: the desktop size SDL reported before the mode was set, in pixels.
// Does nothing unless the window is on X11, the layer scales into it and no window manager runs.
void coverDesktopWithoutWindowManager(int desktopWidth, int desktopHeight);
