// XvfbServer. -displayfd lets the server pick a free display number and report it when it is ready,
// so parallel tests never race for a display. openbox runs its startup command once it manages
// windows; a show started while openbox was still starting up once waited forever for its window.
#include "support/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

XvfbServer::XvfbServer(const XvfbScreen& screen)
{
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);  // only the write end goes to the server
    ProcessOptions options;
    options.timeoutSeconds = 3600;
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                 std::to_string(screen.width) + "x" + std::to_string(screen.height) + "x24",
                                 "-nolisten", "tcp", "-noreset"},
        options);
    close(fds[1]);
    std::string number;
    const double deadline = monotonicSeconds() + 20;
    while (monotonicSeconds() < deadline) {
        pollfd p = {fds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char c;
        if (read(fds[0], &c, 1) != 1) break;
        if (c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    display_ = ":" + number;
    if (screen.windowManager) startWindowManager();
}

void XvfbServer::startWindowManager()
{
    const std::string ready = windowManagerHome_.file("ready");
    ProcessOptions options;
    options.env["DISPLAY"] = display_;
    options.env["XDG_CONFIG_HOME"] = windowManagerHome_.path();  // openbox's defaults, not a user's
    options.env["XDG_CACHE_HOME"] = windowManagerHome_.path();
    options.timeoutSeconds = 3600;
    windowManager_ = std::make_unique<Process>(
        std::vector<std::string>{"openbox", "--sm-disable", "--startup", "touch " + ready}, options);
    const double deadline = monotonicSeconds() + 20;
    while (!std::filesystem::exists(ready)) {
        if (!windowManager_->running() || monotonicSeconds() > deadline) throw std::runtime_error("openbox did not start");
        usleep(50 * 1000);
    }
}

XvfbServer::~XvfbServer() = default;

ProcessOptions XvfbServer::showOptions(const std::string& workDir, double timeoutSeconds) const
{
    ProcessOptions options;
    options.workDir = workDir;
    options.env["DISPLAY"] = display_;
    options.env["SDL_AUDIODRIVER"] = "dummy";
    options.env["SDL_NO_SIGNAL_HANDLERS"] = "1";
    options.unsetEnv = {"SDL_VIDEODRIVER"};  // the test programs themselves run offscreen
    options.timeoutSeconds = timeoutSeconds;
    return options;
}

bool XvfbServer::sendKey(const std::string& key)
{
    ProcessOptions options;
    options.env["DISPLAY"] = display_;
    options.timeoutSeconds = 20;
    // No delay: press and release usually reach the show within one frame, the tap it must not miss.
    return runProcess({"xdotool", "key", "--delay", "0", key}, options).exitCode == 0;
}

bool XvfbServer::screenshot(Image& out)
{
    TempDir dir;
    const std::string file = dir.file("shot.png");
    ProcessOptions options;
    options.env["DISPLAY"] = display_;
    options.timeoutSeconds = 30;
    if (runProcess({"import", "-window", "root", "-depth", "8", "PNG24:" + file}, options).exitCode != 0) return false;
    std::string error;
    return decodePng(file.c_str(), out, error);
}
