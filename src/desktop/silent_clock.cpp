// SilentClock: a thread that wakes every StepMs and hands over what the time since its last step is
// worth, measured on the steady clock, so the pace holds however late a step wakes.
#include "desktop/silent_clock.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <system_error>
#include <vector>

#include "desktop/stream_player.h"

size_t SilentPace::step(double elapsedSeconds)
{
    owed_ += elapsedSeconds * MusicSampleRate;
    const size_t frames = std::min(size_t(owed_), StreamPlayer::MaxCallbackFrames);
    owed_ -= double(frames);
    return frames;
}

SilentClock::~SilentClock() { close(); }

bool SilentClock::open(StreamPlayer& player)
{
    close();
    player_ = &player;
    closing_ = false;
    try {
        thread_ = std::thread(&SilentClock::run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SilentClock::close()
{
    closing_ = true;
    if (thread_.joinable()) thread_.join();
}

void SilentClock::run()
{
    pthread_setname_np(pthread_self(), "musicsilent");
    std::vector<int16_t> discard(StreamPlayer::MaxCallbackFrames * MusicChannels);
    SilentPace pace;
    auto last = std::chrono::steady_clock::now();
    while (!closing_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(StepMs));
        const auto now = std::chrono::steady_clock::now();
        const size_t frames = pace.step(std::chrono::duration<double>(now - last).count());
        last = now;
        player_->fill(discard.data(), frames, steadyNowNs(), 0);
    }
}
