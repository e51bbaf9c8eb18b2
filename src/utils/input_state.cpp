// The parts of video.h that are the same on every platform: the key and mouse levels endFrame feeds
// (input_feed.h) and reads back, and the frame counter.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "utils/input_feed.h"
#include "utils/video.h"

namespace {
struct InputState {
    uint8_t keys[KeyCount];
    uint8_t lastKeys[KeyCount];
    uint8_t pressed[KeyCount];   // went down during the last endFrame, even if released in it
    float mouseX, mouseY;
    float lastMouseX, lastMouseY;
    uint8_t mouseDown;
    uint8_t lastMouseDown;
};

InputState input{};

bool validKey(int key) { return key >= 0 && key < KeyCount; }
}  // namespace

void beginInputFrame()
{
    std::memcpy(input.lastKeys, input.keys, sizeof input.keys);
    input.lastMouseDown = input.mouseDown;
    input.lastMouseX = input.mouseX;
    input.lastMouseY = input.mouseY;
    std::memset(input.pressed, 0, sizeof input.pressed);
}

void feedKey(int key, bool down)
{
    if (!validKey(key)) return;
    input.keys[key] = down ? 1 : 0;
    if (down) input.pressed[key] = 1;
}

void feedMouseMotion(float x, float y)
{
    input.mouseX = x;
    input.mouseY = y;
}

void feedMouseButton(bool down) { input.mouseDown = down ? 1 : 0; }

bool keyDown(int key) { return validKey(key) && input.keys[key]; }
bool keyWasDown(int key) { return validKey(key) && input.lastKeys[key]; }
bool keyPressed(int key) { return validKey(key) && input.pressed[key]; }
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
