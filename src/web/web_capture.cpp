// The page's live sound (audio/sound_capture.h): an AudioWorklet in the page hears a microphone or a
// shared tab at 44.1 kHz and hands each block to the module (web_listen_samples); the show takes what
// arrived once per animation frame. A hidden page gets no animation frames while the sound goes on,
// so what waits is bounded: the oldest goes first.
#include <emscripten.h>

#include <algorithm>
#include <deque>

#include "audio/sound_capture.h"
#include "audio/track_decoder.h"

namespace {
constexpr size_t MaxWaitingSamples = 4 * MusicSampleRate * MusicChannels;   // 4 s

std::deque<float> waiting;
bool heard = false;   // the page's stream is open

class PageCapture final : public SoundCapture {
public:
    bool open(const std::string& source, std::string&) override
    {
        name_ = source;
        waiting.clear();
        heard = true;
        return true;
    }
    std::string sourceName() const override { return name_; }
    std::string sourceDescription() const override { return name_; }
    size_t read(float* stereo, size_t maxFrames) override
    {
        const size_t frames = std::min(maxFrames, waiting.size() / MusicChannels);
        std::copy_n(waiting.begin(), frames * MusicChannels, stereo);
        waiting.erase(waiting.begin(), waiting.begin() + std::ptrdiff_t(frames * MusicChannels));
        return frames;
    }
    bool listening() const override { return heard; }
    double latencySeconds() const override { return 0; }   // the page reports no timing of its own

private:
    std::string name_;
};
}  // namespace

std::unique_ptr<SoundCapture> makeSoundCapture() { return std::make_unique<PageCapture>(); }

// From the page's worklet: frames of interleaved stereo at 44.1 kHz.
extern "C" EMSCRIPTEN_KEEPALIVE void web_listen_samples(const float* stereo, int frames)
{
    waiting.insert(waiting.end(), stereo, stereo + size_t(frames) * MusicChannels);
    if (waiting.size() > MaxWaitingSamples)
        waiting.erase(waiting.begin(), waiting.begin() + std::ptrdiff_t(waiting.size() - MaxWaitingSamples));
}

// The page's stream ended (the sharing was stopped, the microphone unplugged).
extern "C" EMSCRIPTEN_KEEPALIVE void web_listen_ended() { heard = false; }
