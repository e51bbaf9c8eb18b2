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
#include "utils/video.h"

namespace fs = std::filesystem;

uint64_t frameHash(const uint8_t* bytes, size_t size)
{
    uint64_t h = 1469598103934665603ull;
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

int fail(const std::string& message)
{
    std::fprintf(stderr, "showcap: %s\n", message.c_str());
    return 1;
}
}  // namespace

int runCapture(const CaptureOptions& o)
{
    signal(SIGPIPE, SIG_IGN);  // a dead ffmpeg must show up as a write error, not end us silently

    VideoFormat format = o.format;
    if (format == VideoFormat::Auto) format = ffmpegAvailable() ? VideoFormat::Mp4 : VideoFormat::Png;
    if (format == VideoFormat::Mp4 && !ffmpegAvailable())
        return fail("the ffmpeg program is not installed (apt-get install ffmpeg), or use --format png");
    std::string output = o.output;
    if (output.empty()) output = format == VideoFormat::Mp4 ? "show.mp4" : "show-frames";
    output = absolute(output);
    const std::string sheetPath = absolute(o.contactSheet), eventsPath = absolute(o.events),
                      hashesPath = absolute(o.hashes), trackPath = absolute(o.track);

    std::error_code ec;
    fs::current_path(o.dataDir, ec);
    if (ec) return fail("can't use data directory " + o.dataDir + ": " + ec.message());

    DecodedTrack track;
    ShowScore score = builtInScore();
    if (trackPath.empty()) {
        if (const int result = decodeTrack(TrackFileName, track); result != 0)
            return fail(formatString("can't use %s in %s: %s", TrackFileName, o.dataDir.c_str(), musicErrorText(result)));
    } else {
        std::string message;
        if (readListenerShow("showcap", trackPath, &track, score, message, o.quiet)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
    }

    const long firstFrame = std::lround(o.from * o.fps);
    const long lastFrame = o.to >= 0 ? std::lround(o.to * o.fps) : -1;
    const double fromSeconds = double(firstFrame) / o.fps;

    std::unique_ptr<FrameSink> sink;
    auto removeFile = [](std::string* path) {
        std::remove(path->c_str());
        delete path;
    };
    std::unique_ptr<std::string, decltype(removeFile)> trackWav(nullptr, removeFile);   // removed however the run ends
    if (format == VideoFormat::Mp4) {
        // Without an end the audio runs to the track's end; the video may go on past it (the fade and
        // the closing screen), which players show over silence.
        const double duration = lastFrame >= 0 ? double(lastFrame - firstFrame + 1) / o.fps : track.frames() / 44100.0;
        // A listener's track goes to ffmpeg as the show heard it, decoded and at 44.1 kHz, so the
        // video's sound is the very samples its pictures follow.
        std::string audioPath = fs::absolute(TrackFileName).string();
        if (!trackPath.empty()) {
            audioPath = output + ".track.wav";
            std::string error;
            if (!writeWav(audioPath, {track.samples.data(), size_t(track.frames())}, error)) return fail(error);
            trackWav.reset(new std::string(audioPath));
        }
        sink = makeMp4Sink(output, o.width, o.height, o.fps, o.preset, audioPath, fromSeconds, duration);
    } else if (format == VideoFormat::Png) {
        const size_t firstSample = std::min<size_t>(size_t(fromSeconds * 44100), track.frames());
        size_t count = track.frames() - firstSample;
        if (lastFrame >= 0) count = std::min(count, size_t(double(lastFrame - firstFrame + 1) / o.fps * 44100));
        sink = makePngSink(output, {track.samples.data() + firstSample * 2, count});
    } else {
        sink = makeNullSink();
    }
    if (!sink->error().empty()) return fail(sink->error());

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> events(nullptr, std::fclose), hashes(nullptr, std::fclose);
    if (!eventsPath.empty() && !(events.reset(std::fopen(eventsPath.c_str(), "w")), events))
        return fail("can't write " + eventsPath);
    if (!hashesPath.empty() && !(hashes.reset(std::fopen(hashesPath.c_str(), "w")), hashes))
        return fail("can't write " + hashesPath);

    // The offscreen driver gives a GL context with no X server; the sound device is never opened.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    initVideo(ShowWidth, ShowHeight, false, o.width, o.height);
    if (outputWidth() != o.width || outputHeight() != o.height)
        return fail(formatString("the GL here can't draw %dx%d frames (it gave %dx%d)", o.width, o.height, outputWidth(),
                                 outputHeight()));
    startShow(score);

    SpectrumAnalyser analyser;
    // Thumbnails the size they are at the show's own size, from the picture without its bars.
    const PixelRect picture = pictureViewport();
    ContactSheet sheet(o.width, o.height, picture.x, o.height - picture.y - picture.height, picture.width,
                       picture.height, ShowWidth / ContactSheet::Shrink, ShowHeight / ContactSheet::Shrink);
    const long sheetEvery = std::max(1L, std::lround(o.sheetEvery * o.fps));
    Progress progress{!o.quiet};
    progress.startedAt = secondsNow();
    // The show runs on past the music while the last effects fade, then 2.1 s of closing screen.
    const double expectedFrames = (track.lengthMs() / 1000.0 + 2.1) * o.fps;
    const double rangeFrames = lastFrame >= 0 ? double(lastFrame + 1) : expectedFrames;
    // Hashing and encoding run on the writer's thread while the next frame is drawn.
    FrameWriter writer([&](const Frame& f) {
        if (hashes)
            std::fprintf(hashes.get(), "%lld %016llx\n", static_cast<long long>(f.index),
                         static_cast<unsigned long long>(frameHash(f.rgb.data(), f.rgb.size())));
        return sink->write(f);
    });
    Frame sheetOnly;  // a frame read back for the contact sheet alone

    // Which frames are looked at: written ones, unless nothing is written, and contact-sheet ones.
    const bool writesFrames = format != VideoFormat::None || !hashesPath.empty();
    auto inRange = [&](long n) { return writesFrames && n >= firstFrame && (lastFrame < 0 || n <= lastFrame); };
    auto onSheet = [&](long n) {
        return !sheetPath.empty() && n >= firstFrame && (lastFrame < 0 || n <= lastFrame) && (n - firstFrame) % sheetEvery == 0;
    };
    std::unique_ptr<EventLog> log;
    if (events) log = std::make_unique<EventLog>(events.get());

    SteppedRunOptions run;
    run.framesPerSecond = o.fps;
    run.trackLengthMs = track.lengthMs();
    run.spectrumAt = [&](uint32_t positionMs, float* out) { spectrumAt(track, positionMs, analyser, out); };
    run.lastFrame = lastFrame;
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
    closeVideo();

    if (!writer.finish()) return fail(sink->error());
    if (!sink->finish()) return fail(sink->error());
    std::string error;
    if (!sheetPath.empty() && !sheet.save(sheetPath, error)) return fail(error);
    progress.done(framesRun, secondsNow());
    return 0;
}
