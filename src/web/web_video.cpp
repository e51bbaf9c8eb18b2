// The browser's display, events and tick counter (utils/platform.h), on the page's canvas. The WebGL context is made through emscripten's browser layer, the one way that also
// sets up the fixed-function emulation. Key and mouse events arrive between frames and are queued,
// then applied in endFrame in arrival order, as SDL's queue is drained there on the desktop.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <vector>

#include <SDL_opengl.h>

#include "utils/fatal.h"
#include "utils/input_feed.h"
#include "utils/platform.h"
#include "utils/resolution.h"
#include "utils/video.h"
#include "web/web.h"

namespace {
constexpr int EscapeKey = 27;   // SDL 1.2's key code for Escape, the browser's keyCode too

enum class EventKind { KeyDown, KeyUp, Motion, ButtonDown, ButtonUp };
struct QueuedEvent {
    EventKind kind;
    int key;
    float x, y;
};

std::vector<QueuedEvent> queue;
double startMs = 0;

bool validKey(int key) { return key >= 0 && key < KeyCount; }

// SDL 1.2 names letters by their lower-case ASCII code; the browser's keyCode is the upper case.
int sdlKeyOf(unsigned long keyCode)
{
    if (keyCode >= 'A' && keyCode <= 'Z') return int(keyCode - 'A' + 'a');
    if (keyCode < KeyCount) return int(keyCode);
    return -1;
}

EM_BOOL onKey(int type, const EmscriptenKeyboardEvent* e, void*)
{
    const int key = sdlKeyOf(e->keyCode);
    if (!validKey(key)) return EM_FALSE;
    queue.push_back({type == EMSCRIPTEN_EVENT_KEYDOWN ? EventKind::KeyDown : EventKind::KeyUp, key, 0, 0});
    return key == EscapeKey;   // the page keeps every other key (F for full screen, reload, ...)
}

// Canvas pixels of the 1024x768 picture, whatever size the page scales the canvas to.
EM_BOOL onMouse(int type, const EmscriptenMouseEvent* e, void*)
{
    double cssWidth = 0, cssHeight = 0;
    emscripten_get_element_css_size("#canvas", &cssWidth, &cssHeight);
    const float x = cssWidth > 0 ? float(e->targetX * screenWidth() / cssWidth) : float(e->targetX);
    const float y = cssHeight > 0 ? float(e->targetY * screenHeight() / cssHeight) : float(e->targetY);
    if (type == EMSCRIPTEN_EVENT_MOUSEMOVE) {
        queue.push_back({EventKind::Motion, 0, x, y});
    } else if (e->button == 0) {
        queue.push_back({type == EMSCRIPTEN_EVENT_MOUSEDOWN ? EventKind::ButtonDown : EventKind::ButtonUp, 0, x, y});
    }
    return EM_FALSE;
}

// The canvas was made by the page without alpha, depth or stencil, as the desktop asks of SDL; in the
// stepped mode its drawing buffer is kept after each frame, so a checker can read the picture back.
EM_JS(int, createCanvasContext, (), {
    var canvas = Module['canvas'];
    if (!canvas) return 0;
    var attributes = {alpha: false, depth: false, stencil: false, antialias: false, majorVersion: 1,
                      preserveDrawingBuffer: !!Module['preserveDrawingBuffer']};
    return Browser.createContext(canvas, true, true, attributes) ? 1 : 0;
});

// Every event the show takes in: handled (on), or no longer (off).
void listen(bool on)
{
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, on ? onKey : nullptr);
    emscripten_set_mousemove_callback("#canvas", nullptr, EM_TRUE, on ? onMouse : nullptr);
    emscripten_set_mousedown_callback("#canvas", nullptr, EM_TRUE, on ? onMouse : nullptr);
    emscripten_set_mouseup_callback("#canvas", nullptr, EM_TRUE, on ? onMouse : nullptr);
}
// WebGL names its renderer only through the debug extension; without it the renderer is unknown.
EM_JS(void, readRenderer, (char* out, int size), {
    var text = "";
    var gl = Module['canvas'] && Module['canvas'].getContext('webgl');
    var info = gl && gl.getExtension('WEBGL_debug_renderer_info');
    if (info) text = String(gl.getParameter(info.UNMASKED_RENDERER_WEBGL) || "");
    stringToUTF8(text, out, size);
});

// The page sizes the canvas's drawing buffer; it asks how many pixels the GL here should be given.
EM_JS(void, tellPageTheResolution, (int screenSize), {
    if (Module['onShowState']) Module['onShowState']('resolution', screenSize);
});

ResolutionSetting resolution = ResolutionSetting::Auto;
}  // namespace

void setResolutionSetting(ResolutionSetting setting) { resolution = setting; }

void platformOpenDisplay(int, int, bool, int, int)
{
    startMs = emscripten_get_now();
    if (!createCanvasContext()) fatalExit(1, "couldn't initialize SDL: %s\n", "WebGL is not available in this browser");
    char renderer[256];
    readRenderer(renderer, int(sizeof renderer));
    tellPageTheResolution(drawsAtScreenSize(resolution, renderer[0] ? renderer : nullptr) ? 1 : 0);
    listen(true);
}

// The page sizes the canvas's drawing buffer (its CSS size times the device's pixel ratio, or what the
// stepped mode asks for); the picture follows it from the next frame on.
void platformFramebufferSize(int& width, int& height) { emscripten_get_canvas_element_size("#canvas", &width, &height); }

void platformShowPointer(bool) {}   // the page styles the pointer itself

void platformCloseDisplay() { listen(false); }

// The browser shows the frame when the animation callback returns: there is no swap to ask for.
void platformEndFrame()
{
    for (const QueuedEvent& e : queue) {
        switch (e.kind) {
        case EventKind::KeyDown: feedKey(e.key, true); break;
        case EventKind::KeyUp: feedKey(e.key, false); break;
        case EventKind::Motion: feedMouseMotion(e.x, e.y); break;
        case EventKind::ButtonDown: feedMouseButton(true); break;
        case EventKind::ButtonUp: feedMouseButton(false); break;
        }
    }
    queue.clear();
}

// WebGL 1's fixed-function emulation: 16-bit client-side indices only, a normal outside glBegin/glEnd
// taken as a vertex attribute, and a modulate that multiplies by an alpha texture's black too.
GlCapabilities platformGlCapabilities()
{
    GlCapabilities emulation;
    emulation.wideIndices = false;
    emulation.looseNormals = false;
    emulation.alphaTextures = false;
    return emulation;
}

uint32_t platformTicks() { return uint32_t(emscripten_get_now() - startMs); }

bool platformStopRequested() { return false; }   // a page has no signals; closing the tab ends everything
