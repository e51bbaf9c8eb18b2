// XvfbServer. -displayfd lets the server pick a free display number and report it when it is ready,
// so parallel tests never race for a display. openbox runs its startup command once it manages
// windows; a show started while openbox was still starting up once waited forever for its window.
// Windows are inspected over xcb, whose errors (a window gone meanwhile) come back as failed replies.
#include "support/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

XvfbServer::XvfbServer(const XvfbScreen& screen) : screen_(screen)
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
    if (screen.windowManager) startWindowManager(ManagerStart::Ready);
}

void XvfbServer::startWindowManager(ManagerStart how)
{
    const std::string ready = windowManagerHome_.file("ready");
    ProcessOptions options;
    options.env["DISPLAY"] = display_;
    options.env["XDG_CONFIG_HOME"] = windowManagerHome_.path();  // openbox's defaults, not a user's
    options.env["XDG_CACHE_HOME"] = windowManagerHome_.path();
    options.timeoutSeconds = 3600;
    windowManager_ = std::make_unique<Process>(
        std::vector<std::string>{"openbox", "--sm-disable", "--startup", "touch " + ready}, options);
    if (how == ManagerStart::Now) return;
    const double deadline = monotonicSeconds() + 20;
    if (how == ManagerStart::StoppedHoldingRoot) {
        // Polled closely: openbox is ready soon after it takes the root.
        while (!windowManagerHoldsRoot()) {
            if (!windowManager_->running() || monotonicSeconds() > deadline) throw std::runtime_error("openbox did not start");
            usleep(5 * 1000);
        }
        kill(windowManager_->pid(), SIGSTOP);
        return;
    }
    while (!std::filesystem::exists(ready)) {
        if (!windowManager_->running() || monotonicSeconds() > deadline) throw std::runtime_error("openbox did not start");
        usleep(50 * 1000);
    }
}

void XvfbServer::resumeWindowManager()
{
    if (windowManager_) kill(windowManager_->pid(), SIGCONT);
}

namespace {
struct Connection {
    explicit Connection(const std::string& display) : c(xcb_connect(display.c_str(), nullptr)) {}
    ~Connection() { xcb_disconnect(c); }
    bool ok() const { return !xcb_connection_has_error(c); }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root; }
    xcb_connection_t* c;
};

template <typename Reply>
struct Owned {
    Reply* reply;
    ~Owned() { std::free(reply); }
    Reply* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    Owned<xcb_intern_atom_reply_t> r{xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr)};
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<xcb_atom_t> atomsIn(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property)
{
    Owned<xcb_get_property_reply_t> r{
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 64), nullptr)};
    if (!r || r->format != 32) return {};
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(r.reply));
    return std::vector<xcb_atom_t>(atoms, atoms + xcb_get_property_value_length(r.reply) / 4);
}

bool hasProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property)
{
    Owned<xcb_get_property_reply_t> r{
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr)};
    return r && r->type != XCB_ATOM_NONE;
}

bool ownedBy(xcb_connection_t* c, xcb_window_t window, xcb_atom_t pidAtom, pid_t pid)
{
    Owned<xcb_get_property_reply_t> r{
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr)};
    return r && xcb_get_property_value_length(r.reply) == 4 &&
           *static_cast<const uint32_t*>(xcb_get_property_value(r.reply)) == uint32_t(pid);
}
}  // namespace

bool XvfbServer::windowManagerHoldsRoot()
{
    Connection x(display_);
    if (!x.ok()) return false;
    Owned<xcb_get_window_attributes_reply_t> root{
        xcb_get_window_attributes_reply(x.c, xcb_get_window_attributes(x.c, x.root()), nullptr)};
    return root && (root->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT);
}

WindowPlace XvfbServer::windowOf(pid_t pid)
{
    WindowPlace place;
    Connection x(display_);
    if (!x.ok()) return place;
    const xcb_atom_t pidAtom = atom(x.c, "_NET_WM_PID");
    if (pidAtom == XCB_ATOM_NONE) return place;  // no client has set one yet
    // Under a manager the window sits inside a frame, one level down or more.
    std::vector<xcb_window_t> queue{x.root()};
    for (size_t i = 0; i < queue.size(); ++i) {
        const xcb_window_t window = queue[i];
        if (i > 0 && ownedBy(x.c, window, pidAtom, pid)) {
            Owned<xcb_get_window_attributes_reply_t> attributes{
                xcb_get_window_attributes_reply(x.c, xcb_get_window_attributes(x.c, window), nullptr)};
            Owned<xcb_get_geometry_reply_t> geometry{xcb_get_geometry_reply(x.c, xcb_get_geometry(x.c, window), nullptr)};
            Owned<xcb_translate_coordinates_reply_t> origin{xcb_translate_coordinates_reply(
                x.c, xcb_translate_coordinates(x.c, window, x.root(), 0, 0), nullptr)};
            if (!attributes || !geometry || !origin) continue;
            place.exists = true;
            place.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
            place.managed = hasProperty(x.c, window, atom(x.c, "WM_STATE"));
            const std::vector<xcb_atom_t> states = atomsIn(x.c, window, atom(x.c, "_NET_WM_STATE"));
            const xcb_atom_t fullScreen = atom(x.c, "_NET_WM_STATE_FULLSCREEN");
            place.fullScreen =
                fullScreen != XCB_ATOM_NONE && std::find(states.begin(), states.end(), fullScreen) != states.end();
            place.x = origin->dst_x;
            place.y = origin->dst_y;
            place.width = geometry->width;
            place.height = geometry->height;
            return place;
        }
        Owned<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(x.c, xcb_query_tree(x.c, window), nullptr)};
        if (!tree) continue;
        const xcb_window_t* children = xcb_query_tree_children(tree.reply);
        queue.insert(queue.end(), children, children + xcb_query_tree_children_length(tree.reply));
    }
    return place;
}

bool XvfbServer::managedFullScreen(const WindowPlace& window) const
{
    return window.viewable && window.managed && window.fullScreen && window.x == 0 && window.y == 0 && window.width == screen_.width &&
           window.height == screen_.height;
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
