// Frame sinks. ffmpeg reads raw RGB frames on its standard input, so nothing but the frame being
// written is ever in memory; its own output goes to a log file that is shown only on failure.
#include "frame_sink.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "child_program.h"
#include "utils/format.h"

namespace {
std::string numberText(double v)
{
    std::ostringstream s;
    s.precision(6);
    s << std::fixed << v;
    return s.str();
}

class Mp4Sink : public FrameSink {
public:
    Mp4Sink(const std::string& path, int width, int height, int fps, const std::string& preset, const Mp4Audio& audio,
            const std::string& label)
        : ffmpeg_(arguments(path, width, height, fps, preset, audio, label), path + ".ffmpeg.log")
    {
        if (!ffmpeg_.started()) error_ = "can't start ffmpeg";
    }

    bool write(const Frame& frame) override
    {
        if (!ffmpeg_.write(frame.rgb.data(), frame.rgb.size())) {
            error_ = "ffmpeg stopped reading frames: " + ffmpeg_.log();
            return false;
        }
        return true;
    }

    bool finish() override
    {
        if (!ffmpeg_.finish()) {
            error_ = "ffmpeg failed: " + ffmpeg_.log();
            return false;
        }
        return true;
    }

private:
    static std::vector<std::string> arguments(const std::string& path, int width, int height, int fps,
                                              const std::string& preset, const Mp4Audio& audio, const std::string& label)
    {
        std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
            "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", formatString("%dx%d", width, height),
            "-framerate", std::to_string(fps), "-i", "pipe:0"};
        if (!audio.trackPath.empty())
            args.insert(args.end(), {"-ss", numberText(audio.fromSeconds), "-t", numberText(audio.durationSeconds), "-i",
                                     audio.trackPath, "-map", "0:v", "-map", "1:a?"});
        args.insert(args.end(), {"-c:v", "libx264", "-preset", preset, "-crf", "18", "-pix_fmt", "yuv420p"});
        if (!audio.trackPath.empty()) args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
        if (!label.empty()) args.insert(args.end(), {"-metadata", "comment=" + label});
        args.insert(args.end(), {"-movflags", "+faststart", path});
        return args;
    }

    ChildProgram ffmpeg_;
};

class PngSink : public FrameSink {
public:
    PngSink(const std::string& directory, AudioRange audio) : directory_(directory)
    {
        if (mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
            error_ = "can't make directory " + directory + ": " + std::strerror(errno);
            return;
        }
        ok_ = !audio.samples || writeWav(directory + "/track.wav", audio, error_);
    }

    bool write(const Frame& frame) override
    {
        if (!ok_) return false;
        // Level 1: the frames are big and many; size matters less than capture speed here.
        const std::string path = directory_ + formatString("/frame_%06lld.png", static_cast<long long>(frame.index));
        ok_ = writeRgbPng(path, frame.rgb.data(), frame.width, frame.height, 1, error_);
        return ok_;
    }

    bool finish() override { return ok_; }

private:
    std::string directory_;
    bool ok_ = false;
};

class NullSink : public FrameSink {
public:
    bool write(const Frame&) override { return true; }
    bool finish() override { return true; }
};

void putLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out += char((value >> (8 * i)) & 0xFF);
}
}  // namespace

std::unique_ptr<FrameSink> makeMp4Sink(const std::string& path, int width, int height, int fps,
                                       const std::string& preset, const Mp4Audio& audio, const std::string& label)
{
    return std::make_unique<Mp4Sink>(path, width, height, fps, preset, audio, label);
}

std::unique_ptr<FrameSink> makePngSink(const std::string& directory, AudioRange audio)
{
    return std::make_unique<PngSink>(directory, audio);
}

std::unique_ptr<FrameSink> makeNullSink() { return std::make_unique<NullSink>(); }

bool writeWav(const std::string& path, AudioRange audio, std::string& error)
{
    const uint32_t dataBytes = uint32_t(audio.frames * 2 * 2);
    std::string header = "RIFF";
    putLe(header, 36 + dataBytes, 4);
    header += "WAVEfmt ";
    putLe(header, 16, 4);
    putLe(header, 1, 2);            // PCM
    putLe(header, 2, 2);            // stereo
    putLe(header, 44100, 4);
    putLe(header, 44100 * 4, 4);    // bytes per second
    putLe(header, 4, 2);            // bytes per frame
    putLe(header, 16, 2);
    header += "data";
    putLe(header, dataBytes, 4);

    std::ofstream f(path, std::ios::binary);
    f << header;
    std::vector<char> block;
    block.reserve(8192);
    for (size_t i = 0; i < audio.frames * 2; ++i) {
        const float s = std::fmax(-1.0f, std::fmin(1.0f, audio.samples[i]));
        const int v = int(std::lround(s * 32767.0f));
        block.push_back(char(v & 0xFF));
        block.push_back(char((v >> 8) & 0xFF));
        if (block.size() >= 8192) {
            f.write(block.data(), std::streamsize(block.size()));
            block.clear();
        }
    }
    f.write(block.data(), std::streamsize(block.size()));
    if (!f) {
        error = "can't write " + path;
        return false;
    }
    return true;
}

bool writeRgbPng(const std::string& path, const uint8_t* rgbTopFirst, int width, int height, int level,
                 std::string& error)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "can't write " + path + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "can't write " + path;
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, rgbTopFirst + size_t(y) * size_t(width) * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    const bool closed = std::fclose(file) == 0;
    if (!closed) error = "can't write " + path;
    return closed;
}

bool ffmpegAvailable()
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((dir + "/ffmpeg").c_str(), X_OK) == 0) return true;
    return false;
}
