// Music stand-in until the streaming player lands: a silent three-second "track" on the wall clock.
#include "audio/music.h"

#include "utils/fatal.h"
#include "utils/video.h"

float spectrum[SpectrumSize];

namespace {
float startTime = 0;
constexpr uint32_t StandInLength = 3000;
}  // namespace

void initMusic(const char*) { startTime = demoTime(); }
void fetchSpectrum() {}
uint32_t musicPosition()
{
    const float elapsed = demoTime() - startTime;
    return elapsed <= 0 ? 0 : uint32_t(elapsed * 1000.0f);
}
uint32_t musicLength() { return StandInLength; }
void closeMusic() {}

void checkFmod(int result)
{
    if (result != 0) fatalExit(-1, "FMOD error! (%d) %s\n", result, "stand-in error");
}
