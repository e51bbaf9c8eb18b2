// A private X server (Xvfb, 24-bit, 1024x768 unless asked otherwise, optionally with openbox as its
// window manager) for end-to-end runs of the real programs, with keys sent by xdotool and screenshots
// taken by ImageMagick's import.
#pragma once
#include <memory>
#include <string>

#include "support/process.h"
#include "support/temp_dir.h"
#include "utils/image.h"

struct XvfbScreen {
    int width = 1024;
    int height = 768;
    bool windowManager = false;  // openbox, managing windows before the server is handed out
};

// How a test starts openbox itself, as a session's start-up script would, racing the show.
enum class ManagerStart {
    Ready,              // returns once openbox manages windows
    Now,                // returns at once
    StoppedHoldingRoot  // SIGSTOP'd as soon as it redirects the root's children, still starting up
};

// A client's top-level window as the screen has it: the window itself, not a manager's frame.
struct WindowPlace {
    bool exists = false;
    bool viewable = false;
    bool managed = false;     // a window manager has taken it (WM_STATE)
    bool fullScreen = false;  // its _NET_WM_STATE says full screen
    int x = 0, y = 0;  // from the screen's top-left
    int width = 0, height = 0;
};

class XvfbServer {
public:
    explicit XvfbServer(const XvfbScreen& screen = {});  // waits until the server (and openbox) are
    ~XvfbServer();                                       // ready; throws if they can't start

    const std::string& display() const { return display_; }  // ":N"
    bool sendKey(const std::string& key);                     // a quick tap by xdotool, e.g. "Escape"
    bool screenshot(Image& out);                              // whole screen, rows bottom first

    void startWindowManager(ManagerStart how);
    void resumeWindowManager();                    // after ManagerStart::StoppedHoldingRoot
    bool windowManagerHoldsRoot();
    WindowPlace windowOf(pid_t pid);               // by the _NET_WM_PID the client set
    bool managedFullScreen(const WindowPlace& window) const;  // and it covers this screen

    // How the real show runs here: on this display, in workDir, with SDL's dummy audio and no
    // signal handlers, so a test can stop it; timeout in seconds.
    ProcessOptions showOptions(const std::string& workDir, double timeoutSeconds) const;

private:
    XvfbScreen screen_;
    std::string display_;
    std::unique_ptr<Process> server_;
    TempDir windowManagerHome_;
    std::unique_ptr<Process> windowManager_;  // stops before the server
};
