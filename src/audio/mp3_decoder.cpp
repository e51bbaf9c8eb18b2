// Mp3Decoder over libmpg123. The file is checked by hand first so a missing, empty or unreadable file
// gets its own error instead of a generic decoder failure; the frame scan then both rejects files
// with no MPEG audio and gives the exact length even for truncated or VBR files.
#include "audio/mp3_decoder.h"

#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

#include <mutex>

#include "audio/music_errors.h"

namespace {
std::once_flag libraryReady;
bool libraryOk = false;

mpg123_handle* handleOf(void* h) { return static_cast<mpg123_handle*>(h); }

}  // namespace

Mp3Decoder::~Mp3Decoder() { close(); }

int Mp3Decoder::open(const char* fileName)
{
    close();
    if (const int fileError = checkTrackFile(fileName)) return fileError;
    fd_ = ::open(fileName, O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return TrackUnreadable;

    std::call_once(libraryReady, [] { libraryOk = mpg123_init() == MPG123_OK; });
    int result = MPG123_OK;
    mpg123_handle* mh = libraryOk ? mpg123_new(nullptr, &result) : nullptr;
    if (!mh) {
        close();
        return DecoderUnavailable;
    }
    handle_ = mh;
    // Only one output format is allowed, so the decoder converts everything to it: the spectrum's
    // bins and the position arithmetic then mean the same on every file.
    const bool configured =
        mpg123_param(mh, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_STEREO, 0) == MPG123_OK &&
        mpg123_param(mh, MPG123_FORCE_RATE, MusicSampleRate, 0) == MPG123_OK && mpg123_format_none(mh) == MPG123_OK &&
        mpg123_format(mh, MusicSampleRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) == MPG123_OK;
    if (!configured) {
        close();
        return DecoderUnavailable;
    }
    if (mpg123_open_fd(mh, fd_) != MPG123_OK) {
        close();
        return TrackUnreadable;
    }
    // The scan reads every frame header (a few ms for minutes of music) and leaves the stream at its start.
    const off_t length = mpg123_scan(mh) == MPG123_OK ? mpg123_length(mh) : off_t(MPG123_ERR);
    if (length <= 0) {
        close();
        return TrackNotMpeg;
    }
    frames_ = uint64_t(length);
    return MusicOk;
}

void Mp3Decoder::close()
{
    if (handle_) mpg123_delete(handleOf(handle_));   // also closes the stream; the fd stays ours
    handle_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    frames_ = 0;
    delivered_ = 0;
    finished_ = false;
    error_ = MusicOk;
}

size_t Mp3Decoder::read(float* out, size_t maxFrames)
{
    if (!handle_ || finished_) return 0;
    // Never more than the scanned length: the length is the contract, and the player counts silence
    // after it if the decoder ever stops short.
    const uint64_t left = frames_ - delivered_;
    if (maxFrames > left) maxFrames = size_t(left);
    constexpr size_t FrameBytes = sizeof(float) * MusicChannels;
    size_t got = 0;
    int idleReads = 0;
    while (got < maxFrames) {
        size_t done = 0;
        const int result = mpg123_read(handleOf(handle_), out + got * MusicChannels, (maxFrames - got) * FrameBytes, &done);
        got += done / FrameBytes;
        // A decoder that keeps saying "fine" without giving samples would spin this thread forever.
        const bool idle = done == 0 && ++idleReads > 8;
        if ((result == MPG123_OK || result == MPG123_NEW_FORMAT) && !idle) continue;
        finished_ = true;
        if (result != MPG123_DONE) error_ = DecodeFailed;
        break;
    }
    delivered_ += got;
    if (delivered_ == frames_) finished_ = true;
    return got;
}
