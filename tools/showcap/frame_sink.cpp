// Frame sinks. ffmpeg reads raw RGB frames on its standard input, so nothing but the frame being
// written is ever in memory; its own output goes to a log file that is shown only on failure.
#include "frame_sink.h"

#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

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
    Mp4Sink(const std::string& path, int width, int height, int fps, const std::string& preset,
            const std::string& trackPath, double from, double duration)
    {
        logPath_ = path + ".ffmpeg.log";
        std::vector<std::string> args = {
            "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y",
            "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", formatString("%dx%d", width, height),
            "-framerate", std::to_string(fps), "-i", "pipe:0",
            "-ss", numberText(from), "-t", numberText(duration), "-i", trackPath,
            "-map", "0:v", "-map", "1:a?",
            "-c:v", "libx264", "-preset", preset, "-crf", "18", "-pix_fmt", "yuv420p",
            "-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart", path};
        int fds[2];
        if (pipe(fds) != 0) {
            error_ = "can't make a pipe for ffmpeg";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[0], 0);
            close(fds[0]);
            close(fds[1]);
            if (FILE* log = std::fopen(logPath_.c_str(), "w")) {
                dup2(fileno(log), 1);
                dup2(fileno(log), 2);
            }
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp("ffmpeg", argv.data());
            _exit(127);
        }
        close(fds[0]);
        if (pid_ < 0) {
            close(fds[1]);
            error_ = "can't start ffmpeg";
            return;
        }
        stdin_ = fds[1];
    }

    ~Mp4Sink() override
    {
        if (stdin_ >= 0) close(stdin_);
        if (pid_ > 0 && !reaped_) waitpid(pid_, nullptr, 0);
    }

    bool write(const Frame& frame) override
    {
        if (stdin_ < 0) return false;
        const uint8_t* p = frame.rgb.data();
        size_t left = frame.rgb.size();
        while (left > 0) {
            const ssize_t n = ::write(stdin_, p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = "ffmpeg stopped reading frames: " + ffmpegLog();
                return false;
            }
            p += n;
            left -= size_t(n);
        }
        return true;
    }

    bool finish() override
    {
        if (stdin_ < 0) return false;
        close(stdin_);
        stdin_ = -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            error_ = "ffmpeg failed: " + ffmpegLog();
            return false;
        }
        std::remove(logPath_.c_str());
        return true;
    }

private:
    std::string ffmpegLog() const
    {
        std::ifstream f(logPath_);
        std::stringstream s;
        s << f.rdbuf();
        std::string text = s.str();
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text.empty() ? "(no message; see " + logPath_ + ")" : text;
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    bool reaped_ = false;
    std::string logPath_;
};

class PngSink : public FrameSink {
public:
    PngSink(const std::string& directory, AudioRange audio) : directory_(directory)
    {
        if (mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
            error_ = "can't make directory " + directory + ": " + std::strerror(errno);
            return;
        }
        ok_ = writeWav(directory + "/track.wav", audio, error_);
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
                                       const std::string& preset, const std::string& trackPath, double fromSeconds,
                                       double durationSeconds)
{
    return std::make_unique<Mp4Sink>(path, width, height, fps, preset, trackPath, fromSeconds, durationSeconds);
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
