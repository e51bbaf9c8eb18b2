// Window, input and clock over SDL 1.2 (sdl12-compat). The display size is the one asked for, not
// one read back from SDL, so every layout is computed for 1024x768 whatever the mode became.
#include "utils/video.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <cstdio>
#include <cstring>

#include "utils/fatal.h"
#include "utils/random.h"

namespace {
constexpr int KeyCount = 512;

struct InputState {
    uint8_t keys[KeyCount];
    uint8_t lastKeys[KeyCount];
    float mouseX, mouseY;
    float lastMouseX, lastMouseY;
    uint8_t mouseDown;
    uint8_t lastMouseDown;
};

InputState input{};
int width = 0;
int height = 0;
TickSource tickSource = nullptr;

uint32_t ticks() { return tickSource ? tickSource() : SDL_GetTicks(); }

void ignoreWindowEvents()
{
    SDL_EventState(SDL_VIDEORESIZE, SDL_IGNORE);
    SDL_EventState(SDL_VIDEOEXPOSE, SDL_IGNORE);
    SDL_EventState(SDL_USEREVENT, SDL_IGNORE);
}

bool validKey(int key) { return key >= 0 && key < KeyCount; }
}  // namespace

void initVideo(int w, int h, bool fullscreen)
{
    width = w;
    height = h;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) fatalExit(1, "couldn't initialize SDL: %s\n", SDL_GetError());
    ignoreWindowEvents();

    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 0);  // never wait for the retrace: the loop runs flat out
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);

    const Uint32 flags = fullscreen ? (SDL_OPENGL | SDL_FULLSCREEN) : SDL_OPENGL;
    // Without a display mode there is no GL context, and every later GL call would crash: stop here
    // the same way as when SDL itself can't start.
    if (!SDL_SetVideoMode(w, h, 24, flags)) fatalExit(1, "couldn't initialize SDL: %s\n", SDL_GetError());

    SDL_WM_GrabInput(fullscreen ? SDL_GRAB_ON : SDL_GRAB_OFF);
    SDL_EventState(SDL_JOYAXISMOTION, SDL_IGNORE);
    ignoreWindowEvents();

    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);

    seedRandom();
    SDL_ShowCursor(SDL_DISABLE);
}

void closeVideo()
{
    SDL_ShowCursor(SDL_ENABLE);
    SDL_Quit();
}

int screenWidth() { return width; }
int screenHeight() { return height; }

void endFrame()
{
    std::memcpy(input.lastKeys, input.keys, sizeof input.keys);
    input.lastMouseDown = input.mouseDown;
    input.lastMouseX = input.mouseX;
    input.lastMouseY = input.mouseY;

    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (validKey(event.key.keysym.sym))
                input.keys[event.key.keysym.sym] = event.type == SDL_KEYDOWN ? 1 : 0;
            break;
        case SDL_MOUSEMOTION:
            input.mouseX = float(event.motion.x);
            input.mouseY = float(event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_LEFT) input.mouseDown = event.type == SDL_MOUSEBUTTONDOWN;
            break;
        default:  // window close requests included: only Escape ends the show
            break;
        }
    }
    SDL_GL_SwapBuffers();
}

float demoTime() { return float(ticks() / 1000.0); }
void setTickSource(TickSource source) { tickSource = source; }

bool keyDown(int key) { return validKey(key) && input.keys[key]; }
bool keyWasDown(int key) { return validKey(key) && input.lastKeys[key]; }
float mouseX() { return input.mouseX; }
float mouseY() { return input.mouseY; }
float lastMouseX() { return input.lastMouseX; }
float lastMouseY() { return input.lastMouseY; }
bool mouseDown() { return input.mouseDown; }
bool lastMouseDown() { return input.lastMouseDown; }

void countFps()
{
    static int frames = 0;
    static float lastReport = 0.0f;
    ++frames;
    const float now = demoTime();
    if (now - lastReport > 1.0f) {
        std::printf("fps=%d\n", frames);
        lastReport = now;
        frames = 0;
    }
}
