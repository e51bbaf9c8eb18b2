// showcap --join: the segments of a capture cut into chunks, put back together. MP4 segments are
// copied one after another (each starts on a key frame, so nothing is encoded again) and the sound is
// encoded once over the whole range from the decoded track; PNG chunks' frames are gathered into one
// directory with one WAV. Nothing is joined unless the labels show one whole cut.
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audio/decoded_track.h"
#include "audio/music_errors.h"
#include "capture.h"
#include "child_program.h"
#include "chunks.h"
#include "main/listener_show.h"
#include "main/show.h"
#include "utils/format.h"

namespace fs = std::filesystem;

namespace {
struct Segment {
    std::string path;    // an MP4 file, or a directory of PNG frames
    bool png = false;
    SegmentLabel label;
};

std::string textOf(const std::string& path)
{
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string frameFile(const std::string& dir, long frame) { return dir + formatString("/frame_%06ld.png", frame); }

bool readMp4Label(const std::string& path, const std::string& scratch, Segment& out, std::string& error)
{
    ChildProgram probe({"ffprobe", "-v", "error", "-show_entries", "format_tags=comment", "-of", "default=nw=1:nk=1", path},
                       scratch + ".log", scratch);
    const bool read = probe.finish();
    const std::string text = textOf(scratch);
    std::remove(scratch.c_str());
    if (!read) {
        error = "can't read " + path + ": " + probe.log();
        return false;
    }
    if (!parseSegmentLabel(text, out.label)) {
        error = path + " is not a chunk's segment (it has no showcap chunk label)";
        return false;
    }
    out.path = path;
    return true;
}

// A PNG chunk's directory holds a chunk-K-of-N.txt for each chunk written into it.
bool readPngLabels(const std::string& dir, std::vector<Segment>& out, std::string& error)
{
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("chunk-", 0) != 0 || e.path().extension() != ".txt") continue;
        Segment s;
        s.path = dir;
        s.png = true;
        if (!parseSegmentLabel(textOf(e.path().string()), s.label)) {
            error = e.path().string() + " is not a chunk label";
            return false;
        }
        out.push_back(s);
    }
    if (ec) error = "can't read " + dir + ": " + ec.message();
    return !ec;
}

// PATH is a directory (its MP4 files and the directories holding PNG chunk labels, itself included)
// or a file naming segments one a line, relative to the file's own directory.
bool collectSegments(const std::string& path, const std::string& scratch, std::vector<Segment>& out, std::string& error)
{
    std::error_code ec;
    std::vector<std::string> candidates;
    const bool listed = !fs::is_directory(path, ec);
    if (listed) {
        std::ifstream list(path);
        if (!list) {
            error = "can't read " + path;
            return false;
        }
        for (std::string line; std::getline(list, line);)
            if (!line.empty()) candidates.push_back((fs::path(path).parent_path() / line).string());
    } else {
        candidates.push_back(path);
        for (const fs::directory_entry& e : fs::directory_iterator(path, ec)) candidates.push_back(e.path().string());
        std::sort(candidates.begin() + 1, candidates.end());
    }
    for (const std::string& c : candidates) {
        const size_t before = out.size();
        if (fs::is_directory(c, ec)) {
            if (!readPngLabels(c, out, error)) return false;
        } else if (fs::path(c).extension() == ".mp4" || listed) {
            Segment s;
            if (!readMp4Label(c, scratch, s, error)) return false;
            out.push_back(s);
        }
        if (listed && out.size() == before) {
            error = c + " holds no chunk";
            return false;
        }
    }
    return true;
}

// ffconcat quotes a path in single quotes; a quote inside is closed, escaped and reopened.
std::string concatQuoted(const std::string& path)
{
    std::string out = "'";
    for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

int joinMp4(const std::vector<Segment>& segments, AudioRange audio, const std::string& output)
{
    const std::string partial = output + ".joining", list = output + ".segments.txt";
    {
        std::ofstream f(list);
        f << "ffconcat version 1.0\n";
        for (const Segment& s : segments) f << "file " << concatQuoted(s.path) << "\n";
        if (!f) return reportFailure("can't write " + list);
    }
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
                                     "-f", "concat", "-safe", "0", "-i", list};
    const bool sound = audio.frames > 0;
    if (sound)
        args.insert(args.end(), {"-f", "f32le", "-ar", std::to_string(MusicSampleRate), "-ac", "2", "-i", "pipe:0"});
    args.insert(args.end(), {"-map", "0:v", "-c:v", "copy"});
    if (sound) args.insert(args.end(), {"-map", "1:a", "-c:a", "aac", "-b:a", "192k"});
    args.insert(args.end(), {"-movflags", "+faststart", "-f", "mp4", partial});

    ChildProgram ffmpeg(args, output + ".ffmpeg.log");
    bool ok = ffmpeg.started() && ffmpeg.write(audio.samples, audio.frames * 2 * sizeof(float));
    ok = ffmpeg.finish() && ok;
    std::remove(list.c_str());
    std::error_code ec;
    if (ok) fs::rename(partial, output, ec);
    if (!ok || ec) {
        std::remove(partial.c_str());
        return reportFailure(ok ? "can't write " + output + ": " + ec.message() : "ffmpeg failed: " + ffmpeg.log());
    }
    return 0;
}

int joinPng(const std::vector<Segment>& segments, AudioRange audio, const std::string& output)
{
    std::error_code ec;
    fs::create_directories(output, ec);
    if (ec) return reportFailure("can't make directory " + output + ": " + ec.message());
    // Every frame is checked before any is moved, so a join that fails leaves the chunks as they were.
    for (const Segment& s : segments)
        for (long n = s.label.frames.first; n <= s.label.frames.last; ++n)
            if (!fs::is_regular_file(frameFile(s.path, n)))
                return reportFailure(formatString("frame %ld of chunk %d/%d is missing in ", n, s.label.chunk.index,
                                                  s.label.chunk.count) + s.path);
    for (const Segment& s : segments) {
        if (fs::equivalent(s.path, output, ec)) continue;
        for (long n = s.label.frames.first; n <= s.label.frames.last; ++n) {
            const std::string from = frameFile(s.path, n), to = frameFile(output, n);
            fs::rename(from, to, ec);
            if (ec) {  // another file system
                ec.clear();
                if (fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) fs::remove(from, ec);
            }
            if (ec) return reportFailure("can't move " + from + " to " + output + ": " + ec.message());
        }
    }
    std::string error;
    if (!writeWav(output + "/track.wav", audio, error)) return reportFailure(error);
    for (const Segment& s : segments)
        fs::remove(s.path + formatString("/chunk-%d-of-%d.txt", s.label.chunk.index, s.label.chunk.count), ec);
    return 0;
}
}  // namespace

int runJoin(const CaptureOptions& o)
{
    signal(SIGPIPE, SIG_IGN);  // a dead ffmpeg must show up as a write error, not end us silently
    const std::string source = fs::absolute(o.join).string();
    const std::string trackPath = o.track.empty() ? "" : fs::absolute(o.track).string();
    std::string output = o.output;
    std::vector<Segment> segments;
    std::string error;
    if (!collectSegments(source, fs::absolute(output.empty() ? "show" : output).string() + ".probe", segments, error))
        return reportFailure(error);
    const bool png = !segments.empty() && segments.front().png;
    for (const Segment& s : segments)
        if (s.png != png) return reportFailure("MP4 segments and PNG chunks can't be joined into one: " + source);
    std::vector<SegmentLabel> labels;
    for (const Segment& s : segments) labels.push_back(s.label);
    FrameRange whole;
    if (!checkSegments(labels, whole, error)) return reportFailure(error + " (in " + source + ")");
    std::sort(segments.begin(), segments.end(),
              [](const Segment& a, const Segment& b) { return a.label.chunk.index < b.label.chunk.index; });
    if (!png && !ffmpegAvailable()) return reportFailure("the ffmpeg program is not installed (apt-get install ffmpeg)");

    if (output.empty()) output = png ? "show-frames" : "show.mp4";
    output = fs::absolute(output).string();
    std::error_code ec;
    fs::current_path(o.dataDir, ec);
    if (ec) return reportFailure("can't use data directory " + o.dataDir + ": " + ec.message());
    DecodedTrack track;
    if (trackPath.empty()) {
        if (const int result = decodeTrack(TrackFileName, track); result != 0)
            return reportFailure(
                formatString("can't use %s in %s: %s", TrackFileName, o.dataDir.c_str(), musicErrorText(result)));
    } else {
        // The listener's track decoded as the chunks decoded it, so the sound is the samples they drew to.
        ShowScore score;
        std::string message;
        if (readListenerShow("showcap", trackPath, &track, score, message, true)) {
            std::fprintf(stderr, "%s\n", message.c_str());
            return 1;
        }
    }
    const AudioRange audio = audioOfFrames(track, whole.first, whole.last, labels.front().fps);
    const int status = png ? joinPng(segments, audio, output) : joinMp4(segments, audio, output);
    if (status == 0 && !o.quiet)
        std::fprintf(stderr, "%zu chunks joined: frames %ld to %ld at %d frames/s into %s\n", segments.size(),
                     whole.first, whole.last, labels.front().fps, output.c_str());
    return status;
}
