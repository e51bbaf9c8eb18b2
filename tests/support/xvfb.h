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

class XvfbServer {
public:
    explicit XvfbServer(const XvfbScreen& screen = {});  // waits until the server (and openbox) are
    ~XvfbServer();                                       // ready; throws if they can't start

    const std::string& display() const { return display_; }  // ":N"
    bool sendKey(const std::string& key);                     // a quick tap by xdotool, e.g. "Escape"
    bool screenshot(Image& out);                              // whole screen, rows bottom first

    // How the real show runs here: on this display, in workDir, with SDL's dummy audio and no
    // signal handlers, so a test can stop it; timeout in seconds.
    ProcessOptions showOptions(const std::string& workDir, double timeoutSeconds) const;

private:
    void startWindowManager();
    std::string display_;
    std::unique_ptr<Process> server_;
    TempDir windowManagerHome_;
    std::unique_ptr<Process> windowManager_;  // stops before the server
};
