// openTrackDecoder: the one place a track file meets its decoder, and the checks every decoder
// makes on the file before its own.
#include "audio/track_decoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "audio/mp3_decoder.h"
#include "audio/music_errors.h"

int openTrackDecoder(const char* fileName, std::unique_ptr<TrackDecoder>& out, TrackFormat format)
{
    std::unique_ptr<TrackDecoder> decoder;
    if (format == TrackFormat::ShowMp3) decoder = std::make_unique<Mp3Decoder>();
    else decoder = makeAnyFormatDecoder();
    const int result = decoder ? decoder->open(fileName) : TrackNotAudio;
    if (result == MusicOk) out = std::move(decoder);
    else out.reset();
    return result;
}

int checkTrackFile(const char* fileName)
{
    struct stat info;
    if (stat(fileName, &info) != 0) return errno == ENOENT || errno == ENOTDIR ? TrackNotFound : TrackUnreadable;
    if (!S_ISREG(info.st_mode)) return TrackUnreadable;
    if (info.st_size == 0) return TrackEmpty;
    if (access(fileName, R_OK) != 0) return TrackUnreadable;
    return MusicOk;
}
