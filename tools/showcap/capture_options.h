// showcap's command line: what to capture, at what rate, and where the frames and side outputs go.
// Parsing is pure (no files touched), so every option and error message is testable.
#pragma once
#include <string>
#include <vector>

#include "chunks.h"

enum class VideoFormat {
    Auto,   // MP4 when ffmpeg is installed, else PNG frames + WAV
    Mp4,    // H.264 + AAC through the ffmpeg program
    Png,    // numbered PNG frames and a WAV of the track, in a directory
    None,   // no video: only the side outputs (contact sheet, events, hashes)
};

// libx264's speed presets, fastest first. The default was chosen by measuring encoding time and the
// picture's likeness to the frames (SSIM) at the fixed CRF (bench/README.md, "Capture").
constexpr const char* EncoderPresets[] = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                          "medium",    "slow",      "slower",   "veryslow"};
constexpr const char* DefaultEncoderPreset = "superfast";

struct CaptureOptions {
    int fps = 60;                  // frames per second, 1..240
    int width = 1024, height = 768;  // pixels of each frame; the 4:3 picture centred, black bars around
    std::string output;            // .mp4 file or frame directory; empty: the format's default name
    std::string dataDir = ".";     // the show's working directory: the track and the 36 images
    std::string track;             // a listener's own track file; empty: the show's own
    std::string title, artist;     // the listener's words over the track's tags (with track only)
    std::string trackName;         // the name an untagged track's title comes from; empty: the track's
    std::string posters;           // a directory to write the track's posters into, and nothing else
    VideoFormat format = VideoFormat::Auto;
    std::string preset = DefaultEncoderPreset;  // libx264 preset of the MP4 video
    double from = 0;               // seconds of show time, first frame written
    double to = -1;                // seconds, last frame written; negative: to the end of the closing screen
    std::string contactSheet;      // PNG path, or empty
    double sheetEvery = 5;         // seconds between contact-sheet thumbnails
    std::string events;            // JSON-lines path, or empty
    std::string hashes;            // per-frame hash list path, or empty
    bool quiet = false;            // no progress line
    ChunkSpec chunk;               // one of a cut capture's ranges; count 0: the whole range
    long lastFrame = -1;           // the run's last written frame as --plan printed it; -1: found here
    bool plan = false;             // print the frames the run would write, write nothing
    std::string join;              // segments to put together (a directory or a list file); empty: capture
    bool version = false;          // print what a capture's frames depend on
    bool help = false;
    std::vector<std::string> given;  // every option on the command line, as written, in order
};

constexpr int MaxCaptureSide = 7680;   // pixels: 8K across, the largest size video sites take

// --- Parsing
bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& out,
                         std::string& error);  // args without the program name; false: error says why
const char* captureUsage();                                 // the --help text
