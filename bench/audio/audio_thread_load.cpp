// Plays a whole track on SDL's dummy driver in real time, calling the show's per-frame music calls at
// about 60 frames/s, and reports how much of one core each thread used (from the kernel's per-thread
// run time), the underruns and how the play position kept pace with the wall clock.
//   audio_thread_load [seconds]   (default: the whole track; track: $AUDIO_BENCH_TRACK or data/'s)
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "audio/music.h"
#include "desktop/stream_music.h"

namespace {
struct ThreadTime {
    std::string name;
    double seconds = 0;   // on-CPU time so far
};

// Updates the run time of every live thread of this process. Called now and then, because a thread
// that has ended (the decoder, once the whole track is decoded) leaves /proc with its figures.
void sampleThreads(std::map<std::string, ThreadTime>& byTid)
{
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        ThreadTime t;
        double ns = 0;
        std::ifstream(base + "/comm") >> t.name;
        if (!(std::ifstream(base + "/schedstat") >> ns)) continue;
        t.seconds = ns / 1e9;
        byTid[entry->d_name] = t;
    }
    closedir(tasks);
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

int main(int argc, char** argv)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const char* chosen = std::getenv("AUDIO_BENCH_TRACK");
    const std::string track = chosen && *chosen ? chosen : SHOW_TRACK;
    const double limit = argc > 1 ? std::atof(argv[1]) : 1e9;

    std::map<std::string, ThreadTime> threads;   // by thread id; only music threads are reported
    initMusic(track.c_str());
    const double start = now();
    const double lengthSeconds = musicLength() / 1000.0;
    double mainMusicSeconds = 0;   // main thread time inside the music calls
    long frames = 0;
    while (musicPosition() < musicLength() && now() - start < limit) {
        const double t0 = now();
        fetchSpectrum();
        (void)musicPosition();
        (void)musicPosition();
        (void)musicLength();
        mainMusicSeconds += now() - t0;
        if (++frames % 30 == 0) sampleThreads(threads);
        std::this_thread::sleep_for(std::chrono::microseconds(16667));
    }
    const double wall = now() - start;
    const uint32_t position = musicPosition();
    sampleThreads(threads);
    const unsigned long long underruns = musicUnderrunFrames();
    closeMusic();

    std::printf("track %s: %.1f s long, played %.1f s of wall clock, position %.3f s\n", track.c_str(),
                lengthSeconds, wall, position / 1000.0);
    std::printf("position pace against the wall clock: %+.3f %% (the dummy driver's clock)\n",
                (position / 1000.0 / wall - 1) * 100);
    for (const auto& [tid, t] : threads) {
        if (t.name.rfind("SDLAudio", 0) == 0 || t.name == "musicdecode") {
            std::printf("thread %-12s %.3f s CPU = %.3f %% of one core\n", t.name.c_str(), t.seconds,
                        t.seconds / wall * 100);
        }
    }
    std::printf("main thread in the music calls: %.3f s over %ld frames = %.2f us per frame\n", mainMusicSeconds,
                frames, mainMusicSeconds / double(frames) * 1e6);
    std::printf("underrun frames: %llu\n", underruns);
    return 0;
}
