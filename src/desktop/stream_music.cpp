// StreamMusic: the desktop's MusicPlayer. The file is opened before any output, so a bad track reads
// the same on a machine without sound; half a second is decoded before the first callback.
#include "desktop/stream_music.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "audio/music.h"
#include "audio/music_errors.h"
#include "audio/music_player.h"
#include "desktop/audio_output.h"
#include "desktop/stream_player.h"

namespace {
constexpr size_t PrefillFrames = 22050;   // half a second decoded before the first callback

std::atomic<AudioCallbackHook> callbackHook{nullptr};

void runCallbackHook()
{
    if (AudioCallbackHook hook = callbackHook.load(std::memory_order_acquire)) hook();
}

// Before any exit while playing: exit runs sdl12-compat's unload, and SDL2's audio thread, still
// calling back through it, would crash the process instead of exiting with its status. Our fatal
// stops halt playback first (checkFmod); Xlib ends the process with exit(1) when the X server goes
// away, and reaches it through this hook.
void registerExitHook()
{
    static bool registered = false;
    if (!registered) registered = std::atexit(haltPlayback) == 0;
}

class StreamMusic;
StreamMusic* playing = nullptr;   // the diagnostics' player, while one exists

class StreamMusic final : public MusicPlayer {
public:
    StreamMusic() { playing = this; }
    ~StreamMusic() override
    {
        stop();
        playing = nullptr;
    }

    int start(const char* fileName, TrackFormat format) override
    {
        if (const int result = stream_.open(fileName, format)) return result;
        stream_.prefill(PrefillFrames);
        if (const int result = stream_.startDecoderThread()) return result;
        registerExitHook();
        return openAudioOutput(stream_, runCallbackHook, output_);
    }
    uint64_t trackFrames() const override { return stream_.trackFrames(); }
    uint64_t playFrame() override { return stream_.playFrame(steadyNowNs()); }
    bool readChannel0(uint64_t first, size_t count, float* out) const override
    {
        return stream_.tap().copyChannel0(first, count, out);
    }
    int error() const override { return stream_.decodeError(); }
    void stop() override
    {
        if (output_) output_->close();   // returns after the last fill; none runs from here on
        stream_.stop();
    }

    const StreamPlayer& stream() const { return stream_; }

private:
    StreamPlayer stream_;
    std::unique_ptr<AudioOutput> output_;   // once the samples play
};
}  // namespace

std::unique_ptr<MusicPlayer> makeMusicPlayer() { return std::make_unique<StreamMusic>(); }

uint64_t musicUnderrunFrames() { return playing ? playing->stream().underrunFrames() : 0; }

uint64_t musicFramesHandedOver() { return playing ? playing->stream().tap().latest().frames : 0; }

void setAudioCallbackHook(AudioCallbackHook hook) { callbackHook.store(hook, std::memory_order_release); }
