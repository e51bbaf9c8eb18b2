// openTrackDecoder: the one place a track file meets its decoder. Only MP3 so far; a second format
// is tried here, after or before it.
#include "audio/track_decoder.h"

#include "audio/mp3_decoder.h"
#include "audio/music_errors.h"

int openTrackDecoder(const char* fileName, std::unique_ptr<TrackDecoder>& out)
{
    auto decoder = std::make_unique<Mp3Decoder>();
    const int result = decoder->open(fileName);
    if (result == MusicOk) out = std::move(decoder);
    else out.reset();
    return result;
}
