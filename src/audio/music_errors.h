// The music component's own error codes and their fixed sentences: what "FMOD error! (%d) %s" prints.
// Codes are stable; tests and the closing note refer to them by number.
#pragma once

enum MusicError : int {
    MusicOk = 0,
    TrackNotFound = 1,
    TrackEmpty = 2,
    TrackUnreadable = 3,
    TrackNotMpeg = 4,
    DecoderUnavailable = 5,
    AudioSystemUnavailable = 6,
    AudioDeviceUnavailable = 7,
    DecoderThreadFailed = 8,
    MusicNotOpen = 9,
    MusicAlreadyOpen = 10,
    DecodeFailed = 11,
    TrackNotAudio = 12,
    TrackHoldsNoSound = 13,
    TrackTooLong = 14,
    TrackSilent = 15,
    TrackEndsEarly = 16,
    ResamplerUnavailable = 17,
};

struct MusicErrorText {
    int code;
    const char* text;
};

constexpr MusicErrorText MusicErrorTable[] = {
    {MusicOk, "No errors."},
    {TrackNotFound, "Track file not found."},
    {TrackEmpty, "Track file is empty."},
    {TrackUnreadable, "Track file cannot be read."},
    {TrackNotMpeg, "Track file holds no decodable MPEG audio."},
    {DecoderUnavailable, "MP3 decoder cannot be set up."},
    {AudioSystemUnavailable, "Audio system cannot start (no usable audio driver)."},
    {AudioDeviceUnavailable, "Audio device cannot be opened (no sound card or device busy)."},
    {DecoderThreadFailed, "Decoder thread cannot be started."},
    {MusicNotOpen, "Music is not open."},
    {MusicAlreadyOpen, "Music is already open."},
    {DecodeFailed, "Track stopped decoding partway (file damaged or read error)."},
    {TrackNotAudio, "Track file is not audio the show reads (WAV, FLAC, Ogg Vorbis, Opus or MP3)."},
    {TrackHoldsNoSound, "Track file holds no sound (no audio stream, or no samples in it)."},
    {TrackTooLong, "Track is longer than 20 minutes, the longest the show plays."},
    {TrackSilent, "Track is silent from start to end."},
    {TrackEndsEarly, "Track file ends before its stated length (truncated or damaged)."},
    {ResamplerUnavailable, "Resampler to 44.1 kHz cannot be set up."},
};

// --- Texts
const char* musicErrorText(int code);   // the table's sentence, or a generic one for unknown codes
