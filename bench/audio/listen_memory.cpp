// An hour of listening, faster than real time: the live show (ListenHost, the whole frame loop, drawing
// squeezed into one pixel on an offscreen context) fed a track over and over by a scripted capture, 1/60 s
// of sound a frame, its wall clock scripted to match. Prints the process's resident memory, the live
// fragments and what the cue finder holds at each listed minute: flat, however long it listens.
//   listen_memory TRACK [MINUTES]      in a directory holding the show's images
#include <SDL_opengl.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "audio/decoded_track.h"
#include "audio/sound_capture.h"
#include "main/listen_host.h"
#include "main/show.h"
#include "timeline/active_fragments.h"
#include "timeline/cue_list.h"
#include "utils/draw.h"
#include "utils/video.h"

namespace {
constexpr int Fps = 60;
uint32_t ticksMs = 0;
uint32_t scriptedTicks() { return ticksMs; }

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// The track again and again, one frame's worth of sound per frame.
class LoopedTrack final : public SoundCapture {
public:
    explicit LoopedTrack(const DecodedTrack& track) : track_(track) {}
    bool open(const std::string&, std::string&) override { return true; }
    std::string sourceName() const override { return "looped track"; }
    std::string sourceDescription() const override { return sourceName(); }
    size_t read(float* stereo, size_t maxFrames) override
    {
        const size_t frames = std::min<size_t>(maxFrames, due_);
        for (size_t i = 0; i < frames; ++i, at_ = (at_ + 1) % track_.frames()) {
            stereo[2 * i] = track_.samples[2 * at_];
            stereo[2 * i + 1] = track_.samples[2 * at_ + 1];
        }
        due_ -= frames;
        return frames;
    }
    bool listening() const override { return true; }
    double latencySeconds() const override { return 0; }
    void nextFrame() { due_ += MusicSampleRate / Fps; }

private:
    const DecodedTrack& track_;
    uint64_t at_ = 0;
    size_t due_ = 0;
};

class ScriptedListenHost : public ListenHost {
public:
    ScriptedListenHost(LoopedTrack& sound) : ListenHost(sound, nullptr), sound_(sound) {}
    void fetchSpectrum() override
    {
        sound_.nextFrame();
        ListenHost::fetchSpectrum();
    }
    void endFrame() override
    {
        glFinish();   // what a swap would do: the GL's queued work done each frame
        ticksMs += 1000 / Fps;
    }
    bool escapePressed() override { return false; }

private:
    LoopedTrack& sound_;
};
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("usage: listen_memory TRACK [MINUTES]\n", stderr);
        return 2;
    }
    const int minutes = argc > 2 ? std::atoi(argv[2]) : 60;
    DecodedTrack track;
    if (decodeTrack(argv[1], track, TrackFormat::AnyFormat)) {
        std::fprintf(stderr, "listen_memory: can't read %s\n", argv[1]);
        return 1;
    }
    initVideo(ShowWidth, ShowHeight, false);
    startShow(listeningScore());
    squeezeDrawing(true);
    setTickSource(scriptedTicks);
    LoopedTrack sound(track);
    ScriptedListenHost host(sound);
    ShowRun run;
    size_t mostLive = 0;
    std::printf("minute  resident MB  live fragments (most so far)  cues fired\n");
    for (long frame = 1; frame <= long(minutes) * 60 * Fps; ++frame) {
        run.step(host);
        mostLive = std::max(mostLive, ActiveFragments.size());
        const long minute = frame / (60 * Fps);
        if (frame % (60 * Fps) == 0 && (minute <= 2 || minute % 10 == 0 || minute == minutes))
            std::printf("%6ld  %11.1f  %14zu (%zu)  %10d\n", minute, residentKb() / 1024.0, ActiveFragments.size(),
                        mostLive, firedCueCount());
        std::fflush(stdout);
    }
    setTickSource(nullptr);
    squeezeDrawing(false);
    stopShow();
    closeVideo();
    return 0;
}
