// Where captured frames go: an MP4 through an ffmpeg child process, a directory of numbered PNG
// files with a WAV of the track, or nowhere. Frames arrive one at a time and are never all held.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One frame as RGB rows, top row first (the order files and encoders want).
struct Frame {
    std::vector<uint8_t> rgb;   // width * height * 3 bytes
    int width = 0, height = 0;  // pixels
    int64_t index = 0;          // frame number since the start of the show
};

// The audio that goes with the written frames: interleaved stereo 44.1 kHz floats.
struct AudioRange {
    const float* samples = nullptr;
    size_t frames = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual bool write(const Frame& frame) = 0;   // false: the sink failed (error() says why)
    virtual bool finish() = 0;                    // flushes and closes; false on failure
    const std::string& error() const { return error_; }

protected:
    std::string error_;
};

// --- Sinks
// The MP4's sound: the track from fromSeconds, cut to durationSeconds. No track: a video-only file.
struct Mp4Audio {
    std::string trackPath;
    double fromSeconds = 0;
    double durationSeconds = 0;
};
// ffmpeg encodes H.264 (libx264 at CRF 18 with the given speed preset), and AAC when there is sound;
// label, when given, goes into the file's comment tag.
std::unique_ptr<FrameSink> makeMp4Sink(const std::string& path, int width, int height, int fps,
                                       const std::string& preset, const Mp4Audio& audio, const std::string& label = "");
// frame_000123.png files (the show's frame number) and track.wav holding audio; no samples: no WAV.
std::unique_ptr<FrameSink> makePngSink(const std::string& directory, AudioRange audio);
std::unique_ptr<FrameSink> makeNullSink();

// --- Files
bool writeWav(const std::string& path, AudioRange audio, std::string& error);       // 16-bit PCM stereo
bool writeRgbPng(const std::string& path, const uint8_t* rgbTopFirst, int width, int height,
                 int compressionLevel, std::string& error);                          // level 0..9
bool ffmpegAvailable();   // the ffmpeg program is on the PATH
