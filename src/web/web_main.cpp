// The show in a browser. The page has put the track and the images into the file system and calls
// main with its query options; the browser then owns the loop, one animation frame per ShowRun step.
// The live show: load (progress bar), a start gesture (sound may only start on one), then the very
// start-up, frame loop and closing screen of the desktop. The stepped show (--step FPS --at T) is
// showcap's scripted run: both clocks follow the frame number, silent, stopping on frame round(T x FPS).
// Either may run again once over: the show is stopped and started afresh on the track already here.
// The listening show draws to what the page hears (a microphone, a shared tab) until Escape.
#include <emscripten.h>

#include <SDL_opengl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/listener_track.h"
#include "audio/sound_capture.h"
#include "audio/music.h"
#include "audio/music_errors.h"
#include "main/listen_host.h"
#include "main/listener_words.h"
#include "main/show.h"
#include "main/stepped_run.h"
#include "timeline/event_log.h"
#include "timeline/timeline_events.h"
#include "utils/fatal.h"
#include "utils/format.h"
#include "utils/time_text.h"
#include "utils/video.h"
#include "web/web.h"
#include "words/posters.h"

namespace {
constexpr double SliceBudgetMs = 25;      // per animation frame while loading: the progress bar still moves
constexpr double StepBudgetMs = 40;       // per animation frame while stepping to the asked moment
constexpr const char* EventsFile = "/events.jsonl";
// Where the page puts a listener's file's bytes (for its tags) and the posters' fonts.
constexpr const char* ListenerTagFile = "/listener-track";
constexpr const char* FontFolder = "/fonts";

enum class Stage { Decoding, WaitingForStart, Playing, Stepping, Listening, Over };

struct Options {
    int stepFps = 0;       // 0: the live show
    double at = 0;         // seconds, the stepped show's moment
    bool events = false;
    std::string pageTrack; // the name of a listener's track the page has decoded; empty: the show's own
    WordOptions words;     // --title, --artist over the track's tags
};

struct WebShow {
    Options options;
    Stage stage = Stage::Decoding;
    LiveHost live;
    ShowRun run;
    std::unique_ptr<SteppedRun> stepped;
    long targetFrame = 0;
    bool closingTold = false;
    std::FILE* eventsFile = nullptr;
    std::unique_ptr<EventLog> log;
    std::string listenerName;   // set while a listener's track is read in
    ShowScore score = builtInScore();   // what every start plays to
    std::unique_ptr<SoundCapture> capture;   // while listening
    std::unique_ptr<ListenHost> listening;
};
WebShow* show = nullptr;

EM_JS(void, tellPage, (const char* what, double value), {
    if (Module['onShowState']) Module['onShowState'](UTF8ToString(what), value);
});

// The listener's track is read in: its cues, words and posters replace the built-in ones, or the page
// says why not. The file's bytes were only needed for its tags.
void useListenerScore()
{
    std::vector<float> cues;
    if (const int result = pageTrackCues(cues))
        fatalExit(1, "%s\n", cantPlayLine(nullptr, show->listenerName, result).c_str());
    tellPage("cues", double(cues.size()));
    ShowScore score = listenerScore(std::move(cues));
    const double tempoFrom = emscripten_get_now();
    const int tempo = pageTrackTempo().shown();
    const double wordsFrom = emscripten_get_now();
    tellPage("tempo", wordsFrom - tempoFrom);
    std::string error;
    if (!addTrackWords(score, ListenerTagFile, show->listenerName, show->options.words, tempo, decodedLengthMs(),
                       FontFolder, error))
        fatalExit(1, "%s\n", error.c_str());
    std::remove(ListenerTagFile);
    tellPage("words", emscripten_get_now() - wordsFrom);
    show->score = std::move(score);
    useScore(show->score);
}

// Once a run is over: the show as start-up made it, on the same track, without loading anything.
void startAgain()
{
    stopShow();
    startShow(show->score);
    show->run = ShowRun();
    show->closingTold = false;
}

void openEventLog()
{
    if (!show->options.events) return;
    show->eventsFile = std::fopen(EventsFile, "w");
    show->log = std::make_unique<EventLog>(show->eventsFile);
}

void closeEventLog()
{
    setTimelineObserver(nullptr);
    show->log.reset();
    if (show->eventsFile) std::fclose(show->eventsFile);
    show->eventsFile = nullptr;
}

void startStepping()
{
    openEventLog();
    // A listener's track's log opens with its words, as showcap's does.
    if (show->eventsFile && show->score.words) std::fprintf(show->eventsFile, "%s\n", trackEventLine(*show->score.words).c_str());
    SteppedRunOptions run;
    run.framesPerSecond = show->options.stepFps;
    run.trackLengthMs = decodedLengthMs();
    run.spectrumAt = [](uint32_t positionMs, float* out) { decodedSpectrumAt(positionMs, out); };
    run.lastFrame = show->targetFrame;
    run.looksAt = [](long n) { return n == show->targetFrame; };
    run.observer = show->log.get();
    show->stepped = std::make_unique<SteppedRun>(run);
    show->stage = Stage::Stepping;
}

void finishStepping()
{
    const long drawn = show->stepped->frame();
    const LoopExit exit = show->stepped->exit();
    show->stepped.reset();
    closeEventLog();
    show->stage = Stage::Over;
    if (exit == LoopExit::Escape && drawn == show->targetFrame + 1) {
        tellPage("ready", double(show->targetFrame));
    } else {
        const std::string message = formatString("the show is over after frame %ld, before frame %ld", drawn - 1,
                                                 show->targetFrame);
        tellPage(("error: " + message).c_str(), double(drawn - 1));
    }
}

void animationFrame()
{
    switch (show->stage) {
    case Stage::Decoding: {
        const double done = decodeTrackSlice(SliceBudgetMs);
        tellPage("decoding", done);
        if (done < 1.0) return;
        tellPage("decoded", double(decodedTrackBytes()));
        if (!show->listenerName.empty()) useListenerScore();
        if (show->options.stepFps > 0) {
            startStepping();
        } else {
            show->stage = Stage::WaitingForStart;
            tellPage("startable", 0);
        }
        return;
    }
    case Stage::WaitingForStart: return;
    case Stage::Playing:
        if (show->run.step(show->live)) {
            if (show->run.phase() == ShowRun::Phase::Closing && !show->closingTold) {
                show->closingTold = true;
                tellPage("closing", 0);
            }
            return;
        }
        closeMusic();
        show->stage = Stage::Over;
        tellPage(show->run.exit() == LoopExit::Escape ? "escaped" : "over", 0);
        return;
    case Stage::Stepping: {
        const double until = emscripten_get_now() + StepBudgetMs;
        while (emscripten_get_now() < until) {
            if (!show->stepped->step()) {
                finishStepping();
                return;
            }
        }
        return;
    }
    case Stage::Listening:
        if (show->run.step(*show->listening)) return;
        closeEventLog();
        show->listening.reset();
        show->capture.reset();
        show->stage = Stage::Over;
        tellPage("escaped", 0);
        return;
    case Stage::Over: return;
    }
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--step" && hasValue) {
            options.stepFps = std::atoi(argv[++i]);
            if (options.stepFps <= 0 || options.stepFps > 1000) error = "step must be frames per second, 1..1000";
        } else if (arg == "--at" && hasValue) {
            if (!parseTime(argv[++i], options.at)) error = "at must be seconds or m:ss";
        } else if (arg == "--resolution" && hasValue) {
            ResolutionSetting setting;
            if (parseResolutionSetting(argv[++i], setting)) setResolutionSetting(setting);
            else error = "resolution must be native or 1024x768";
        } else if (arg == "--events") {
            options.events = true;
        } else if (arg == "--page-track" && hasValue) {
            options.pageTrack = argv[++i];
        } else if (arg == "--title" && hasValue) {
            options.words.title = argv[++i];
        } else if (arg == "--artist" && hasValue) {
            options.words.artist = argv[++i];
        } else {
            error = "unknown option " + arg;
        }
        if (!error.empty()) return false;
    }
    return true;
}
}  // namespace

// The page's start gesture: it has just made the AudioContext; music time 0 is now. Once a run is
// over, the same starts it again (the stepped show needs no gesture, and has no sound).
extern "C" EMSCRIPTEN_KEEPALIVE void web_start()
{
    if (!show) return;
    if (show->stage == Stage::Over) {
        startAgain();
        if (show->options.stepFps > 0) {
            startStepping();
            return;
        }
    } else if (show->stage != Stage::WaitingForStart) {
        return;
    }
    // Keys pressed while the page loaded or waited belong to the page, not to the show.
    endFrame();
    endFrame();
    initMusic(TrackFileName);
    show->stage = Stage::Playing;
}

// The page has decoded a listener's track (Module.listenerTrack) while the show waited for its start:
// it is read in and its cues found in place of the show's own, then the show waits for the start again.
extern "C" EMSCRIPTEN_KEEPALIVE void web_use_page_track(const char* name)
{
    if (!show || show->stage != Stage::WaitingForStart) return;
    show->listenerName = name;
    if (const int result = openPageTrack(true)) fatalExit(1, "%s\n", cantPlayLine(nullptr, name, result).c_str());
    show->stage = Stage::Decoding;
}

// The page hears a stream (named as the page names it) and hands it over from now on: the show starts
// afresh to it, with no track, and draws until Escape. From the start screen or after a run.
extern "C" EMSCRIPTEN_KEEPALIVE void web_listen_start(const char* sourceName)
{
    if (!show || (show->stage != Stage::WaitingForStart && show->stage != Stage::Over)) return;
    stopShow();
    startShow(listeningScore());
    show->capture = makeSoundCapture();
    std::string error;
    show->capture->open(sourceName, error);
    openEventLog();
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (show->eventsFile)
        std::fprintf(show->eventsFile, "{\"event\":\"listen\",\"source\":%s,\"startedAt\":%.3f}\n",
                     jsonString(show->capture->sourceName()).c_str(), double(now.tv_sec) + double(now.tv_nsec) * 1e-9);
    setTimelineObserver(show->log.get());
    show->listening = std::make_unique<ListenHost>(*show->capture);
    show->run = ShowRun();
    // Keys pressed before belong to the page, not to the show.
    endFrame();
    endFrame();
    show->stage = Stage::Listening;
}

// The sentence for a music error code, for the page's own checks of a listener's file.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_music_error_text(int code) { return musicErrorText(code); }

// The font files the posters are set in, one by one, then null: what the page puts into FontFolder.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_poster_font(int i)
{
    return i >= 0 && i < int(std::size(PosterFonts)) ? fontFileName(PosterFonts[i]) : nullptr;
}

// A listener's posters as the PNG files they stand in for, into directory: what showcap --posters
// writes for the same track (the web test compares them). 1 written, 0 none yet or a failure.
extern "C" EMSCRIPTEN_KEEPALIVE int web_write_posters(const char* directory)
{
    std::string error;
    return show && !show->score.posters.empty() && writePosters(show->score.posters, directory, error) ? 1 : 0;
}

// Where the event log is: the stepped show's once it is "ready", the listening show's as it goes.
extern "C" EMSCRIPTEN_KEEPALIVE const char* web_events_file()
{
    if (show && show->eventsFile) std::fflush(show->eventsFile);
    return EventsFile;
}

// The audio clock as the page sees it, for its latency report: context time, base latency, output
// latency, heard position (seconds), and the show's musicPosition (ms).
extern "C" EMSCRIPTEN_KEEPALIVE double web_audio_clock(int field)
{
    const AudioClockReading r = readAudioClock();
    switch (field) {
    case 0: return r.contextTime;
    case 1: return r.baseLatency;
    case 2: return r.outputLatency;
    case 3: return r.heardSeconds;
    default: return double(musicPosition());
    }
}

int main(int argc, char** argv)
{
    show = new WebShow;
    std::string error;
    if (!parseOptions(argc, argv, show->options, error)) {
        tellPage(("error: " + error).c_str(), 0);
        return 1;
    }
    if (show->options.stepFps > 0) show->targetFrame = std::lround(show->options.at * show->options.stepFps);

    initVideo(ShowWidth, ShowHeight, true);
    startShow();
    // The stepped show is silent: the track is decoded for its spectrum only.
    if (show->options.pageTrack.empty()) {
        checkFmod(openTrack(TrackFileName, show->options.stepFps == 0));
    } else {
        show->listenerName = show->options.pageTrack;
        if (const int result = openPageTrack(show->options.stepFps == 0))
            fatalExit(1, "%s\n", cantPlayLine(nullptr, show->listenerName, result).c_str());
    }
    emscripten_set_main_loop(animationFrame, 0, 0);
    return 0;
}
