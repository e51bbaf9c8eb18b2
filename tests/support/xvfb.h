// A private X server (Xvfb, 1024x768x24) for end-to-end runs of the real programs, with keys sent by
// xdotool and screenshots taken by ImageMagick's import.
#pragma once
#include <memory>
#include <string>

#include "support/process.h"
#include "utils/image.h"

class XvfbServer {
public:
    XvfbServer();    // starts the server and waits until it accepts clients; throws if it can't
    ~XvfbServer();

    const std::string& display() const { return display_; }  // ":N"
    bool sendKey(const std::string& key);                     // a quick tap by xdotool, e.g. "Escape"
    bool screenshot(Image& out);                              // whole screen, rows bottom first

    // How the real show runs here: on this display, in workDir, with SDL's dummy audio and no
    // signal handlers, so a test can stop it; timeout in seconds.
    ProcessOptions showOptions(const std::string& workDir, double timeoutSeconds) const;

private:
    std::string display_;
    std::unique_ptr<Process> server_;
};
