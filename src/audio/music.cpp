// The show's music over the platform's player (audio/music_player.h): the one place that turns its
// heard frame into the music clock and its samples into the spectrum, the same on every platform.
// Every failing step stops the process through checkFmod with this component's codes (music_errors.h).
#include "audio/music.h"

#include <memory>

#include "audio/analyser.h"
#include "audio/music_errors.h"
#include "audio/music_player.h"

namespace {
// The history of what was heard can miss the window only if this thread stalled between reading the
// position and copying; each retry starts from the newer position.
constexpr int SpectrumAttempts = 4;

std::unique_ptr<MusicPlayer> player;        // from initMusic to closeMusic
std::unique_ptr<SpectrumAnalyser> analyser;
uint32_t lastPositionMs = 0;                // what the position query answers while nothing plays
}  // namespace

void haltPlayback()
{
    if (player) player->stop();
}

void initMusic(const char* fileName, TrackFormat format)
{
    if (player) checkFmod(MusicAlreadyOpen);
    player = makeMusicPlayer();
    analyser = std::make_unique<SpectrumAnalyser>();
    lastPositionMs = 0;
    checkFmod(player->start(fileName, format));
}

void fetchSpectrum()
{
    if (!player) checkFmod(MusicNotOpen);
    checkFmod(player->error());
    const auto readChannel0 = [](uint64_t first, size_t count, float* out) { return player->readChannel0(first, count, out); };
    for (int attempt = 0; attempt < SpectrumAttempts; ++attempt) {
        if (analyseAtFrame(*analyser, player->playFrame(), player->trackFrames(), readChannel0, spectrum)) return;
    }
}

uint32_t musicPosition()
{
    if (player) lastPositionMs = framesToMs(player->playFrame());
    return lastPositionMs;
}

uint32_t musicLength() { return player ? framesToMs(player->trackFrames()) : 0; }

void closeMusic()
{
    if (!player) checkFmod(MusicNotOpen);
    player->stop();
    player.reset();
    analyser.reset();
}
