// showcap option parsing.
#include "capture_options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "utils/format.h"
#include "utils/time_text.h"

namespace {
bool parseNumber(const std::string& text, double& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}

// Even sides: the MP4's 4:2:0 chroma halves both.
bool parseSize(const std::string& text, int& width, int& height)
{
    const size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    const std::string w = text.substr(0, x), h = text.substr(x + 1);
    if (w.find_first_not_of("0123456789") != std::string::npos || h.find_first_not_of("0123456789") != std::string::npos ||
        w.size() > 5 || h.size() > 5)
        return false;
    const int wv = std::stoi(w), hv = std::stoi(h);
    if (wv < 16 || hv < 16 || wv > MaxCaptureSide || hv > MaxCaptureSide || wv % 2 || hv % 2) return false;
    width = wv;
    height = hv;
    return true;
}

bool parseWhole(const std::string& text, double low, double high, long& value)
{
    double v = 0;
    if (!parseNumber(text, v) || v != std::floor(v) || v < low || v > high) return false;
    value = long(v);
    return true;
}

bool parseFormat(const std::string& text, VideoFormat& format)
{
    if (text == "auto") format = VideoFormat::Auto;
    else if (text == "mp4") format = VideoFormat::Mp4;
    else if (text == "png") format = VideoFormat::Png;
    else if (text == "none") format = VideoFormat::None;
    else return false;
    return true;
}

// Options that make no sense together. The join takes its frames, rate and range from the segments,
// so any option that shapes a capture is refused there rather than silently ignored.
bool checkCombinations(const CaptureOptions& o, std::string& error)
{
    if (o.chunk.count > 0 && !o.join.empty()) {
        error = "--chunk cuts a capture and --join puts one together: not both at once";
        return false;
    }
    if (!o.join.empty()) {
        constexpr const char* JoinOptions[] = {"--join", "-o", "--output", "-d", "--data", "-q", "--quiet",
                                               "-t", "--track", "-h", "--help"};
        for (const std::string& g : o.given)
            if (std::find(std::begin(JoinOptions), std::end(JoinOptions), g) == std::end(JoinOptions)) {
                error = "--join takes only -o, --data, --track and --quiet (the frames, their rate and range come "
                        "from the segments), not " + g;
                return false;
            }
    }
    if (o.chunk.count > 0 && !o.contactSheet.empty()) {
        error = "--contact-sheet spans the whole range: make it in a run of its own without --chunk (with "
                "--format none it draws only the sheet's frames)";
        return false;
    }
    if (o.lastFrame >= 0 && o.chunk.count == 0) {
        error = "--last-frame goes with --chunk";
        return false;
    }
    return true;
}
}  // namespace

bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& out, std::string& error)
{
    out = CaptureOptions();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // Every option but the flags takes the next argument as its value. An argument that reads as
        // an option is a forgotten value, not a file named "--to": taking it would shift every later
        // argument and blame the wrong one ("./--to" still names such a file).
        auto value = [&](std::string& v) {
            if (i + 1 >= args.size() || args[i + 1].rfind("--", 0) == 0) {
                error = "option " + arg + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        if (!arg.empty() && arg[0] == '-') out.given.push_back(arg);
        if (arg == "-h" || arg == "--help") {
            out.help = true;
        } else if (arg == "-q" || arg == "--quiet") {
            out.quiet = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(out.output)) return false;
        } else if (arg == "-d" || arg == "--data") {
            if (!value(out.dataDir)) return false;
        } else if (arg == "-t" || arg == "--track") {
            if (!value(out.track)) return false;
            if (out.track.empty()) {
                error = "--track wants a file name";
                return false;
            }
        } else if (arg == "--title" || arg == "--artist") {
            if (!value(arg == "--title" ? out.title : out.artist)) return false;
        } else if (arg == "--track-name") {
            if (!value(out.trackName)) return false;
        } else if (arg == "--posters") {
            if (!value(out.posters)) return false;
        } else if (arg == "-r" || arg == "--fps") {
            long fps = 0;
            if (!value(v)) return false;
            if (!parseWhole(v, 1, 240, fps)) {
                error = "--fps wants a whole number from 1 to 240, not '" + v + "'";
                return false;
            }
            out.fps = int(fps);
        } else if (arg == "-s" || arg == "--size") {
            if (!value(v)) return false;
            if (!parseSize(v, out.width, out.height)) {
                error = formatString("--size wants WIDTHxHEIGHT, each 16 to %d pixels and even (1920x1080), not '%s'",
                                     MaxCaptureSide, v.c_str());
                return false;
            }
        } else if (arg == "-f" || arg == "--format") {
            if (!value(v)) return false;
            if (!parseFormat(v, out.format)) {
                error = "--format wants auto, mp4, png or none, not '" + v + "'";
                return false;
            }
        } else if (arg == "--preset") {
            if (!value(v)) return false;
            if (std::find(std::begin(EncoderPresets), std::end(EncoderPresets), v) == std::end(EncoderPresets)) {
                error = "--preset wants one of libx264's presets (ultrafast ... veryslow), not '" + v + "'";
                return false;
            }
            out.preset = v;
        } else if (arg == "--from" || arg == "--to") {
            if (!value(v)) return false;
            double t = 0;
            if (!parseTime(v, t)) {
                error = arg + " wants a time in seconds (12.5) or minutes:seconds (1:30), not '" + v + "'";
                return false;
            }
            (arg == "--from" ? out.from : out.to) = t;
        } else if (arg == "--contact-sheet") {
            if (!value(out.contactSheet)) return false;
        } else if (arg == "--sheet-every") {
            if (!value(v)) return false;
            if (!parseNumber(v, out.sheetEvery) || out.sheetEvery <= 0) {
                error = "--sheet-every wants a positive number of seconds, not '" + v + "'";
                return false;
            }
        } else if (arg == "--events") {
            if (!value(out.events)) return false;
        } else if (arg == "--hashes") {
            if (!value(out.hashes)) return false;
        } else if (arg == "--chunk") {
            if (!value(v)) return false;
            if (!parseChunkSpec(v, out.chunk)) {
                error = formatString("--chunk wants K/N, the K-th of N ranges (1 <= K <= N <= %d), not '%s'", MaxChunks,
                                     v.c_str());
                return false;
            }
        } else if (arg == "--last-frame") {
            if (!value(v)) return false;
            if (!parseWhole(v, 0, 1e9, out.lastFrame)) {
                error = "--last-frame wants a frame number (as --plan prints it), not '" + v + "'";
                return false;
            }
        } else if (arg == "--plan") {
            out.plan = true;
        } else if (arg == "--join") {
            if (!value(out.join)) return false;
        } else if (arg == "--version") {
            out.version = true;
        } else {
            error = "unknown option '" + arg + "' (see showcap --help)";
            return false;
        }
    }
    if ((!out.title.empty() || !out.artist.empty() || !out.trackName.empty() || !out.posters.empty()) &&
        out.track.empty()) {
        error = "--title, --artist, --track-name and --posters are about a listener's track: they go with --track";
        return false;
    }
    if (out.to >= 0 && out.to < out.from) {
        error = "--to comes before --from";
        return false;
    }
    return checkCombinations(out, error);
}

const char* captureUsage()
{
    static const std::string text = [] {
        std::string t = R"(Usage: showcap [options]
Renders the show offline, frame by frame, at a fixed frame rate: the music position and the clock
both follow the frame number, and each frame's spectrum comes from the decoded track. Needs no
display and no sound card. The same track, images and options always give the same frames.

Output:
  -o, --output PATH        an .mp4 file, or a directory for PNG frames and track.wav
                           (default: show.mp4, or show-frames/ for PNG)
  -f, --format FORMAT      auto (default): MP4 if ffmpeg is installed, else PNG
                           mp4: H.264 video and AAC audio through ffmpeg
                           png: numbered PNG frames and a WAV of the track
                           none: no video, only the outputs below
      --preset NAME        libx264 speed preset of the MP4, ultrafast to veryslow
                           (default %PRESET%; same quality setting, CRF 18, whatever the preset)
  -r, --fps N              frames per second, 1 to 240 (default 60)
  -s, --size WxH           pixels of each frame (default 1024x768): the picture is drawn at that size,
                           4:3, centred, black bars around it (1920x1080: 1440x1080 at x 240)
      --from TIME          first moment to write, in seconds (12.5) or minutes:seconds (1:30)
      --to TIME            last moment to write (default: the end of the closing screen)

Also write:
      --contact-sheet FILE.png   a grid of thumbnails, one every --sheet-every seconds
      --sheet-every SECONDS      (default 5)
      --events FILE.jsonl        the timeline's events, one JSON object a line
      --hashes FILE              a hash of every written frame, one a line

Music:
  -t, --track FILE         the show to your own track (WAV, FLAC, Ogg Vorbis, Opus or MP3, at most
                           20 minutes) instead of its own: its cues are found in it first, and the
                           posters and closing card name it (title, artist, album, year and licence
                           from its tags, its tempo where the beat is steady)
      --title TEXT         with --track: the title the posters show, over the tags' (a file tagged
      --artist TEXT        badly or not at all); the artist likewise
      --track-name NAME    with --track: the file name an untagged track's title comes from, where
                           FILE is a copy under another name (parallel-capture.sh's chunks on hosts)
      --posters DIR        with --track: only write the track's posters into DIR (typo0.png,
                           typo3.png, end.png, as the show uses them), and no capture

Cut into chunks (rendered apart, on other cores or machines, then joined; capture.sh --parallel N
and --hosts FILE run them, see tools/showcap/parallel-capture.sh --help):
      --chunk K/N          only the K-th of N consecutive ranges of the frames the same command
                           without --chunk writes: PNG frames numbered as in the whole run, or an
                           MP4 segment (video only) that joins without a seam. Its --hashes and
                           --events hold its own frames (chunk 1 also the events before --from), so
                           the chunks' lists, put one after another, are the whole run's
      --plan               print the frames the run writes ("frames FIRST LAST") and write nothing;
                           without --to this simulates the show to its end (about 5 s at 60 fps)
      --last-frame N       with --chunk: the LAST that --plan printed, so each chunk need not find it
      --join PATH          put the segments together: PATH is a directory holding the MP4 segments
                           or the PNG chunks' directories, or a file listing them, one a line. The
                           sound is written once, from the track, for the whole range. Takes only
                           -o, --data, --track (the same as the chunks had) and --quiet

Other:
  -d, --data DIR           the show's files: bass_300808.mp3 and the 36 images
                           (default: the installed show's data folder, else .)
  -q, --quiet              no progress line
      --version            the version, source commit, a digest of the track and images in --data
                           and the GL renderer: what the frames depend on, to compare machines
  -h, --help               this text
)";
        t.replace(t.find("%PRESET%"), 8, DefaultEncoderPreset);
        return t;
    }();
    return text.c_str();
}
