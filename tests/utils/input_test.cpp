// The input state that endFrame builds from SDL's event queue.
#include <gtest/gtest.h>
#include <SDL.h>

#include "main/show.h"
#include "support/gl_context.h"
#include "utils/video.h"

namespace {
void push(const SDL_Event& e)
{
    SDL_Event copy = e;
    ASSERT_EQ(SDL_PushEvent(&copy), 0) << SDL_GetError();
}

void key(Uint8 type, SDLKey sym)
{
    SDL_Event e{};
    e.type = type;
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = sym;
    push(e);
}

void button(Uint8 type, Uint8 which)
{
    SDL_Event e{};
    e.type = type;
    e.button.type = type;
    e.button.button = which;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    push(e);
}

void motion(Uint16 x, Uint16 y)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    push(e);
}

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        openTestDisplay();
        endFrame();  // start from an empty queue
    }
};

}  // namespace

TEST_F(InputTest, KeysAreLevelsSeenAtFrameEnds)
{
    key(SDL_KEYDOWN, SDLK_ESCAPE);
    endFrame();
    EXPECT_TRUE(keyDown(SDLK_ESCAPE));
    EXPECT_FALSE(keyWasDown(SDLK_ESCAPE));
    endFrame();  // held: still down, and now down before too
    EXPECT_TRUE(keyDown(SDLK_ESCAPE));
    EXPECT_TRUE(keyWasDown(SDLK_ESCAPE));
    key(SDL_KEYUP, SDLK_ESCAPE);
    endFrame();
    EXPECT_FALSE(keyDown(SDLK_ESCAPE));

    // A tap shorter than a frame leaves no level, only the press, and that for one frame.
    key(SDL_KEYDOWN, SDLK_a);
    key(SDL_KEYUP, SDLK_a);
    endFrame();
    EXPECT_FALSE(keyDown(SDLK_a));
    EXPECT_TRUE(keyPressed(SDLK_a));
    endFrame();
    EXPECT_FALSE(keyPressed(SDLK_a));
}

TEST_F(InputTest, EscapeTapWithinOneFrameEndsTheShow)
{
    LiveHost host;
    key(SDL_KEYDOWN, SDLK_ESCAPE);
    key(SDL_KEYUP, SDLK_ESCAPE);
    host.endFrame();
    EXPECT_TRUE(host.escapePressed());
    host.endFrame();
    EXPECT_FALSE(host.escapePressed());
}

TEST_F(InputTest, LastMotionOfAFrameWinsAndOnlyTheLeftButtonCounts)
{
    motion(10, 20);
    motion(300, 400);
    endFrame();
    EXPECT_EQ(mouseX(), 300.0f);
    EXPECT_EQ(mouseY(), 400.0f);

    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP);
    endFrame();
    EXPECT_FALSE(mouseDown());
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT);
    endFrame();
    EXPECT_TRUE(mouseDown());
    EXPECT_FALSE(lastMouseDown());
    EXPECT_EQ(lastMouseX(), 300.0f);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT);
    endFrame();
    EXPECT_TRUE(mouseDown());
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT);
    endFrame();
    EXPECT_FALSE(mouseDown());
}

TEST_F(InputTest, CloseRequestsAreDropped)
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    endFrame();
    EXPECT_FALSE(keyDown(SDLK_ESCAPE));
    EXPECT_EQ(SDL_PollEvent(nullptr), 0) << "the queue was drained";
}
