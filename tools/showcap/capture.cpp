// The capture run. Every frame of the show is simulated from frame 0, because the fragments and the
// shared random generator carry state from frame to frame; only frames inside the asked range are
// read back and written.
#include "capture.h"

#include <SDL_opengl.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/music.h"
#include "audio/music_errors.h"
#include "contact_sheet.h"
#include "frame_sink.h"
#include "frame_writer.h"
#include "main/listener_show.h"
#include "main/show.h"
#include "main/stepped_run.h"
#include "utils/draw.h"
#include "timeline/event_log.h"
#include "utils/format.h"
#include "utils/texture_library.h"
#include "utils/video.h"

namespace fs = std::filesystem;

uint64_t frameHash(const uint8_t* bytes, size_t size, uint64_t h)
{
    for (size_t i = 0; i < size; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

std::string progressLine(double fraction, double framesPerSecond, double secondsLeft, long frame)
{
    const long left = std::lround(std::fmax(0.0, secondsLeft));
    return formatString("%6.1f%%  frame %ld  %.1f frames/s  %ld:%02ld left", 100.0 * std::fmin(1.0, fraction), frame,
                        framesPerSecond, left / 60, left % 60);
}

namespace {
// Paths given on the command line are relative to where showcap was started, but the show loads
// its files relative to the data directory: resolve them before moving there.
std::string absolute(const std::string& path) { return path.empty() ? path : fs::absolute(path).string(); }

struct Progress {
    bool enabled;
    bool tty = isatty(2);
    double startedAt = 0;
    double lastPrint = -1;

    void update(long frame, double fraction, double now)
    {
        if (!enabled) return;
        if (lastPrint >= 0 && now - lastPrint < (tty ? 0.25 : 5.0)) return;
        lastPrint = now;
        const double elapsed = now - startedAt;
        const double rate = elapsed > 0 ? frame / elapsed : 0;
        const double left = fraction > 0 ? elapsed * (1 - fraction) / fraction : 0;
        std::fprintf(stderr, tty ? "\r%s" : "%s\n", progressLine(fraction, rate, left, frame).c_str());
    }
    void done(long frames, double now)
    {
        if (!enabled) return;
        const double elapsed = now - startedAt;
        std::fprintf(stderr, "%s%ld frames in %.1f s (%.1f frames/s)\n", tty ? "\r\033[K" : "", frames, elapsed,
                     elapsed > 0 ? frames / elapsed : 0);
    }
};

double secondsNow()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The whole framebuffer, bars and all: a video of another shape than the show's is pillarboxed or
// letterboxed in its own pixels.
void readFrame(Frame& frame, int width, int height)
{
    static std::vector<uint8_t> bottomUp;
    const size_t row = size_t(width) * 3;
    bottomUp.resize(row * size_t(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    frame.width = width;
    frame.height = height;
    frame.rgb.resize(row * size_t(height));
    for (int y = 0; y < height; ++y)
        std::copy_n(&bottomUp[size_t(height - 1 - y) * row], row, &frame.rgb[size_t(y) * row]);
}

// The last frame of a run that writes nothing, stopped after stopAfter (-1: at the show's end): the
// whole show logic squeezed into one pixel, on the display the capture then draws on. Stopping the
// show afterwards leaves it exactly as start-up will find it.
long simulatedLastFrame(int fps, const DecodedTrack& track, const ShowScore& score, long stopAfter)
{
    startShow(score);
    SpectrumAnalyser analyser;
    SteppedRunOptions run;
    run.framesPerSecond = fps;
    run.trackLengthMs = track.lengthMs();
    run.spectrumAt = [&](uint32_t positionMs, float* out) { spectrumAt(track, positionMs, analyser, out); };
    run.lastFrame = stopAfter;
    run.looksAt = [](long) { return false; };
    long last = -1;
    {
        SteppedRun show(run);
        show.runToEnd();
        last = show.frame() - 1;
    }
    stopShow();
    return last;
}

// The frames a chunk or --plan writes: from --from to --to, or to the show's end, found by simulating
// the show logic unless --last-frame says where it is or the music alone reaches --to; of those, the
// chunk's share.
bool writtenRange(const CaptureOptions& o, const DecodedTrack& track, const ShowScore& score, FrameRange& range,
                  std::string& error)
{
    range.first = std::lround(o.from * o.fps);
    range.last = o.to >= 0 ? std::lround(o.to * o.fps) : -1;
    if (o.lastFrame >= 0) {
        range.last = o.lastFrame;
    } else if (!(range.last >= 0 && musicReaches(range.last, o.fps, track.lengthMs()))) {
        range.last = simulatedLastFrame(o.fps, track, score, range.last);
    }
    const int pieces = std::max(1, o.chunk.count);
    if (range.count() < pieces) {
        error = formatString("frames %ld to %ld: too few to cut into %d chunks", range.first, range.last, pieces);
        return false;
    }
    if (o.chunk.count > 0) range = chunkRange(range, o.chunk);
    return true;
}

bool writeText(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    const bool written = std::fputs(text.c_str(), f) >= 0;
    return std::fclose(f) == 0 && written;
}
}  // namespace

int reportFailure(const std::string& message)
{
    std::fprintf(stderr, "showcap: %s\n", message.c_str());
    return 1;
}

AudioRange audioOfFrames(const DecodedTrack& track, long firstFrame, long lastFrame, int fps)
{
    const size_t firstSample = std::min<size_t>(size_t(double(firstFrame) / fps * MusicSampleRate), track.frames());
    size_t count = track.frames() - firstSample;
    if (lastFrame >= 0) count = std::min(count, size_t(double(lastFrame - firstFrame + 1) / fps * MusicSampleRate));
    return {track.samples.data() + firstSample * MusicChannels, count};
}

uint64_t dataDigest(const std::string& dataDir, std::string& error)
{
    std::vector<std::string> names = {TrackFileName};
    for (const std::string& n : textureFileNames()) names.push_back(n);
    uint64_t h = FnvStart;
    std::vector<uint8_t> bytes;
    for (const std::string& name : names) {
        std::ifstream f(dataDir + "/" + name, std::ios::binary);
        if (!f) {
            error = "can't read " + name + " in " + dataDir;
            return 0;
        }
        bytes.assign(name.begin(), name.end());
        bytes.push_back(0);  // so that moving bytes from one file's end to the next's start changes the digest
        bytes.insert(bytes.end(), std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        h = frameHash(bytes.data(), bytes.size(), h);
    }
    return h;
}

std::string glRenderer()
{
    initVideo(ShowWidth, ShowHeight, false);
    auto text = [](GLenum name) {
        const GLubyte* s = glGetString(name);
        return s ? std::string(reinterpret_cast<const char*>(s)) : std::string("?");
    };
    const std::string renderer = text(GL_RENDERER) + ", OpenGL " + text(GL_VERSION);
    closeVideo();
    return renderer;
}

namespace {
// What one run does, decided from the options before anything is decoded or drawn.
struct CapturePlan {
    VideoFormat format = VideoFormat::None;
    std::string output, sheetPath, eventsPath, hashesPath, trackPath;   // absolute; empty: none
    long firstFrame = 0;          // --from as a frame
    long toFrame = -1;            // --to as a frame; -1: to the end of the closing screen
    bool cut = false;             // one chunk of a capture cut into several
    FrameRange range;             // the chunk's frames, or --plan's; found once the music is read
    bool writesFrames() const { return format != VideoFormat::None || !hashesPath.empty(); }
    long writeFrom() const { return cut ? range.first : firstFrame; }
    long writeTo() const { return cut ? range.last : toFrame; }
};

// The track the frames follow and the score it makes.
struct CaptureMusic {
    DecodedTrack track;
    ShowScore score = builtInScore();
};

// Paths given on the command line are relative to where showcap was started; the show reads its
// files from the data directory, where the run moves to.
bool planCapture(const CaptureOptions& o, CapturePlan& plan, std::string& error)
{
    plan.format = o.format;
    if (plan.format == VideoFormat::Auto) plan.format = ffmpegAvailable() ? VideoFormat::Mp4 : VideoFormat::Png;
    if (plan.format == VideoFormat::Mp4 && !ffmpegAvailable() && !o.plan) {
        error = "the ffmpeg program is not installed (apt-get install ffmpeg), or use --format png";
        return false;
    }
    plan.output = absolute(!o.output.empty() ? o.output : plan.format == VideoFormat::Mp4 ? "show.mp4" : "show-frames");
    plan.sheetPath = absolute(o.contactSheet);
    plan.eventsPath = absolute(o.events);
    plan.hashesPath = absolute(o.hashes);
    plan.trackPath = absolute(o.track);
    plan.firstFrame = std::lround(o.from * o.fps);
    plan.toFrame = o.to >= 0 ? std::lround(o.to * o.fps) : -1;
    plan.cut = o.chunk.count > 0;
    return true;
}

// 0, or the exit status once the failure is told.
int readMusic(const CaptureOptions& o, const CapturePlan& plan, CaptureMusic& music)
{
    if (plan.trackPath.empty()) {
        if (const int result = decodeTrack(TrackFileName, music.track))
            return reportFailure(formatString("can't use %s in %s: %s", TrackFileName, o.dataDir.c_str(), musicErrorText(result)));
        return 0;
    }
    std::string message;
    if (readListenerShow("showcap", plan.trackPath, &music.track, music.score, message, o.quiet,
                         {o.title, o.artist, o.trackName})) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return 0;
}

// Where the written frames go. A listener's track goes to ffmpeg as the show heard it, decoded and at
// 44.1 kHz, in a WAV beside the video that wav names (removed however the run ends).
std::unique_ptr<FrameSink> openSink(const CaptureOptions& o, const CapturePlan& plan, const DecodedTrack& track,
                                    std::string& wav, std::string& error)
{
    if (plan.format == VideoFormat::Png)
        return makePngSink(plan.output, plan.cut ? AudioRange{} : audioOfFrames(track, plan.firstFrame, plan.toFrame, o.fps));
    if (plan.format != VideoFormat::Mp4) return makeNullSink();
    // Without an end the audio runs to the track's end; the video may go on past it (the fade and the
    // closing screen), which players show over silence. A chunk's segment has no sound: the join
    // writes it once for the whole range.
    Mp4Audio audio;
    if (!plan.cut) {
        audio.trackPath = fs::absolute(TrackFileName).string();
        audio.fromSeconds = double(plan.firstFrame) / o.fps;
        audio.durationSeconds = plan.toFrame >= 0 ? double(plan.toFrame - plan.firstFrame + 1) / o.fps
                                                  : double(track.frames()) / MusicSampleRate;
        if (!plan.trackPath.empty()) {
            audio.trackPath = wav = plan.output + ".track.wav";
            if (!writeWav(wav, {track.samples.data(), size_t(track.frames())}, error)) return nullptr;
        }
    }
    const SegmentLabel label{o.chunk, plan.range, o.fps};
    return makeMp4Sink(plan.output, o.width, o.height, o.fps, o.preset, audio, plan.cut ? segmentLabel(label) : "");
}

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
File openForWriting(const std::string& path) { return File(path.empty() ? nullptr : std::fopen(path.c_str(), "w"), std::fclose); }

// The show from frame 0, with the plan's frames read back and handed to the sink on the writer's
// thread, the contact sheet and the event log on the way. The frames run: the last one's number + 1.
long renderFrames(const CaptureOptions& o, const CapturePlan& plan, const CaptureMusic& music, std::FILE* events,
                  FrameWriter& writer, ContactSheet& sheet, Progress& progress)
{
    startShow(music.score);
    SpectrumAnalyser analyser;
    const long sheetEvery = std::max(1L, std::lround(o.sheetEvery * o.fps));
    // The show runs on past the music while the last effects fade, then the closing screen.
    const double expectedFrames = (music.track.lengthMs() / 1000.0 + ClosingDuration) * o.fps;
    const double rangeFrames = plan.writeTo() >= 0 ? double(plan.writeTo() + 1) : expectedFrames;
    Frame sheetOnly;  // a frame read back for the contact sheet alone

    // Which frames are looked at: written ones, unless nothing is written, and contact-sheet ones.
    auto inRange = [&](long n) {
        return plan.writesFrames() && n >= plan.writeFrom() && (plan.writeTo() < 0 || n <= plan.writeTo());
    };
    auto onSheet = [&](long n) {
        return !plan.sheetPath.empty() && n >= plan.firstFrame && (plan.toFrame < 0 || n <= plan.toFrame) &&
               (n - plan.firstFrame) % sheetEvery == 0;
    };
    std::unique_ptr<EventLog> log;
    if (events) log = std::make_unique<EventLog>(events);
    // A listener's track's log opens with its words; of a cut capture's lists, the first chunk's.
    if (events && music.score.words && (!plan.cut || o.chunk.index == 1))
        std::fprintf(events, "%s\n", trackEventLine(*music.score.words).c_str());
    // The whole run's log holds the lead-in's events too: the first chunk's share begins at frame 0.
    if (log && plan.cut) log->writeOnly(o.chunk.index == 1 ? 0 : plan.range.first, plan.range.last);

    SteppedRunOptions run;
    run.framesPerSecond = o.fps;
    run.trackLengthMs = music.track.lengthMs();
    run.spectrumAt = [&](uint32_t positionMs, float* out) { spectrumAt(music.track, positionMs, analyser, out); };
    // The last chunk stops as the whole run would, so its end checks the end the cut was made for.
    const bool lastChunk = plan.cut && o.chunk.index == o.chunk.count;
    run.lastFrame = plan.cut && !lastChunk ? plan.range.last : plan.toFrame;
    run.looksAt = [&](long n) { return inRange(n) || onSheet(n); };
    run.observer = log.get();
    run.onFrameEnd = [&](long n) {
        const bool written = inRange(n) && !writer.failed();
        if (written || onSheet(n)) {
            Frame& frame = written ? writer.acquire() : sheetOnly;
            frame.index = n;
            readFrame(frame, o.width, o.height);
            if (onSheet(n)) sheet.add(frame.rgb.data(), double(n) / o.fps);
            if (written) writer.submit(frame);
        }
        progress.update(n + 1, (n + 1) / std::max(rangeFrames, double(n + 1)), secondsNow());
    };
    long framesRun = 0;
    {
        SteppedRun show(run);
        while (show.step() && !writer.failed()) {
        }
        framesRun = show.frame();
    }
    stopShow();
    return framesRun;
}
}  // namespace

int runCapture(const CaptureOptions& o)
{
    signal(SIGPIPE, SIG_IGN);  // a dead ffmpeg must show up as a write error, not end us silently
    CapturePlan plan;
    std::string error;
    if (!planCapture(o, plan, error)) return reportFailure(error);
    std::error_code ec;
    fs::current_path(o.dataDir, ec);
    if (ec) return reportFailure("can't use data directory " + o.dataDir + ": " + ec.message());
    CaptureMusic music;
    if (const int status = readMusic(o, plan, music)) return status;

    // One display for the whole run: the plan's squeezed run, then the frames themselves.
    initVideo(ShowWidth, ShowHeight, false, o.width, o.height);
    struct DisplayCloser {
        ~DisplayCloser() { closeVideo(); }
    } closer;
    if (outputWidth() != o.width || outputHeight() != o.height)
        return reportFailure(formatString("the GL here can't draw %dx%d frames (it gave %dx%d)", o.width, o.height,
                                          outputWidth(), outputHeight()));
    if ((plan.cut || o.plan) && !writtenRange(o, music.track, music.score, plan.range, error)) return reportFailure(error);
    if (o.plan) {
        std::printf("frames %ld %ld\n", plan.range.first, plan.range.last);
        return 0;
    }

    std::string wav;
    const auto removeWav = [](std::string* path) {
        if (!path->empty()) std::remove(path->c_str());
    };
    const std::unique_ptr<std::string, decltype(removeWav)> wavRemover(&wav, removeWav);
    const std::unique_ptr<FrameSink> sink = openSink(o, plan, music.track, wav, error);
    if (!sink) return reportFailure(error);
    if (!sink->error().empty()) return reportFailure(sink->error());
    const File events = openForWriting(plan.eventsPath), hashes = openForWriting(plan.hashesPath);
    if (!plan.eventsPath.empty() && !events) return reportFailure("can't write " + plan.eventsPath);
    if (!plan.hashesPath.empty() && !hashes) return reportFailure("can't write " + plan.hashesPath);

    // Thumbnails the size they are at the show's own size, from the picture without its bars.
    const PixelRect picture = pictureViewport();
    ContactSheet sheet(o.width, o.height, picture.x, o.height - picture.y - picture.height, picture.width,
                       picture.height, ShowWidth / ContactSheet::Shrink, ShowHeight / ContactSheet::Shrink);
    // Hashing and encoding run on the writer's thread while the next frame is drawn.
    FrameWriter writer([&](const Frame& f) {
        if (hashes)
            std::fprintf(hashes.get(), "%lld %016llx\n", static_cast<long long>(f.index),
                         static_cast<unsigned long long>(frameHash(f.rgb.data(), f.rgb.size())));
        return sink->write(f);
    });
    Progress progress{!o.quiet};
    progress.startedAt = secondsNow();
    const long framesRun = renderFrames(o, plan, music, events.get(), writer, sheet, progress);

    if (!writer.finish()) return reportFailure(sink->error());
    if (!sink->finish()) return reportFailure(sink->error());
    if (plan.cut && framesRun - 1 != plan.range.last)
        return reportFailure(formatString("the show ended at frame %ld, not at frame %ld as the cut into chunks "
                                          "assumed: are the build and the data the same as where it was planned?",
                                          framesRun - 1, plan.range.last));
    const SegmentLabel label{o.chunk, plan.range, o.fps};
    if (plan.cut && plan.format == VideoFormat::Png &&
        !writeText(plan.output + formatString("/chunk-%d-of-%d.txt", o.chunk.index, o.chunk.count), segmentLabel(label) + "\n"))
        return reportFailure("can't write the chunk's label in " + plan.output);
    if (!plan.sheetPath.empty() && !sheet.save(plan.sheetPath, error)) return reportFailure(error);
    progress.done(framesRun, secondsNow());
    return 0;
}
