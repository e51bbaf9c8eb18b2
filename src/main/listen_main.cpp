// showlisten: the show to whatever plays, live on the desktop: it listens to the sound server (what
// the desktop plays, or a named source such as a microphone), plays no sound itself, and draws until
// Escape or a stop signal. Its posters name the track a media player announces (MPRIS), set again
// when the track changes, or the source listened to. `show --listen` starts it.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound_capture.h"
#include "desktop/mpris_watch.h"
#include "main/listen_host.h"
#include "main/listener_words.h"
#include "main/show.h"
#include "timeline/event_log.h"
#include "timeline/timeline_events.h"
#include "utils/format.h"
#include "utils/texture_library.h"
#include "utils/typeset.h"
#include "utils/video.h"

namespace {
constexpr const char* Usage =
    "usage: showlisten [SOURCE] [--events FILE]\n"
    "  draws the show to the sound the desktop plays (the monitor of its default output), or to SOURCE,\n"
    "  a source of the sound server (pactl list short sources names them); Escape ends it.\n"
    "  --events FILE   writes the timeline's events as JSON lines, after a first line naming the source\n";

double unixSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The posters for what is heard now; none (the show's own stay) where the fonts are missing, said once.
std::vector<NamedImage> postersFor(const NowPlaying& now, const std::string& source)
{
    static bool told = false;
    std::vector<NamedImage> posters;
    std::string error;
    if (!setPosters(liveWords(source, now.title, now.artist, now.album), source, FontDirectory, posters, error) && !told) {
        std::fprintf(stderr, "show: %s\n", error.c_str());
        told = true;
    }
    return posters;
}
}  // namespace

int main(int argc, char** argv)
{
    std::string source, eventsPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (arg == "--events") {
            if (i + 1 >= argc || std::strncmp(argv[i + 1], "--", 2) == 0) {
                std::fputs("showlisten: option --events needs a file\n", stderr);
                return 2;
            }
            eventsPath = argv[++i];
        } else if (arg.rfind("-", 0) == 0 || !source.empty() || arg.empty()) {
            std::fprintf(stderr, "showlisten: unexpected '%s' (see showlisten --help)\n", arg.c_str());
            return 2;
        } else {
            source = arg;
        }
    }

    // The source is checked before the display opens, so a wrong name costs no flash of a window.
    const std::unique_ptr<SoundCapture> capture = makeSoundCapture();
    std::string error;
    if (!capture->open(source, error)) {
        std::fprintf(stderr, "show: can't listen%s: %s\n", source.empty() ? "" : (" to '" + source + "'").c_str(),
                     error.c_str());
        return 1;
    }
    const double startedAt = unixSeconds();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> events(nullptr, std::fclose);
    std::unique_ptr<EventLog> log;
    if (!eventsPath.empty()) {
        events.reset(std::fopen(eventsPath.c_str(), "w"));
        if (!events) {
            std::fprintf(stderr, "showlisten: can't write %s\n", eventsPath.c_str());
            return 1;
        }
        std::fprintf(events.get(), "{\"event\":\"listen\",\"source\":%s,\"startedAt\":%.3f}\n",
                     jsonString(capture->sourceName()).c_str(), startedAt);
        log = std::make_unique<EventLog>(events.get());
    }

    // Until a player announces a track, the posters name the source; set again on the watch's thread's
    // word, away from the frames, and put into the textures in the frame after.
    MprisWatch watch;
    ShowScore score = listeningScore();
    score.posters = postersFor(NowPlaying(), capture->sourceDescription());
    initVideo(ShowWidth, ShowHeight, true);
    startShow(score);
    setTimelineObserver(log.get());
    ListenHost host(*capture);
    ShowRun run;
    std::future<std::vector<NamedImage>> posters;
    NowPlaying now;
    while (run.step(host)) {   // only Escape or a stop signal ends it: the music never does
        if (watch.changed(now))
            posters = std::async(std::launch::async, postersFor, now, capture->sourceDescription());
        if (posters.valid() && posters.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            replaceLibraryTextures(posters.get());
    }
    setTimelineObserver(nullptr);
    stopShow();
    closeVideo();
    return 0;
}
