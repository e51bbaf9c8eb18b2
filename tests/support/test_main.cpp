// The main of every test program: the headless SDL environment first, then GoogleTest. Set here
// rather than by CTest, so a test program behaves the same when run by hand.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // No X server needed for GL, a sound device that needs no sound card, and SDL leaves SIGTERM
    // alone so a stuck test can be stopped. A value already set by the caller wins.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
